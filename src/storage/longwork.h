#pragma once

#include "lang/messageid.h"

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// How far long file work has come; called from the thread doing the work.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    // The number of steps in all; 0 when it is not known.
    virtual void setTotal(int steps) = 0;
    virtual void advance(int steps = 1) = 0;
};

// Runs long file work (unpacking, writing back) and returns its result once
// it is done. The program runs it on a worker thread while the user sees its
// progress under label, so the work must touch nothing but files, its own
// copies and the services handed to it for the time: no model, no widget.
class LongWork {
public:
    virtual ~LongWork() = default;

    template <typename Work>
    std::invoke_result_t<Work &, WorkProgress &> run(MessageId label, Work &&work)
    {
        using Result = std::invoke_result_t<Work &, WorkProgress &>;
        if constexpr (std::is_void_v<Result>) {
            runWork(label, work);
        } else {
            std::optional<Result> result;
            runWork(label, [&](WorkProgress &progress) { result.emplace(work(progress)); });
            return std::move(*result);
        }
    }

protected:
    // Runs work and returns when it is done.
    virtual void runWork(MessageId label, const std::function<void(WorkProgress &)> &work) = 0;
};

// Runs the work at once on the calling thread: for tools and storage tests.
class InlineWork : public LongWork {
protected:
    void runWork(MessageId label, const std::function<void(WorkProgress &)> &work) override;
};
