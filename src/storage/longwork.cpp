#include "storage/longwork.h"

namespace {

class NoProgress : public WorkProgress {
public:
    void setTotal(int) override {}
    void advance(int) override {}
};

} // namespace

void InlineWork::runWork(MessageId, const std::function<void(WorkProgress &)> &work)
{
    NoProgress progress;
    work(progress);
}
