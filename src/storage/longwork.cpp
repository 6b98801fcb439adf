#include "storage/longwork.h"

namespace {

class NoProgress : public WorkProgress {
public:
    void setTotal(int) override {}
    void advance(int) override {}
};

} // namespace

void InlineWork::run(const QString &, const std::function<void(WorkProgress &)> &work)
{
    NoProgress progress;
    work(progress);
}
