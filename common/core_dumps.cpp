#include "common/core_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace mus {

bool ForbidCoreDumps() noexcept
{
#ifdef MUS_ALLOW_CORE_DUMPS
    return true;
#else
    // Where the core pattern is a pipe to a crash collector, the limit alone
    // would not stop the dump; a process that is not dumpable is never dumped.
    const rlimit none{0, 0};
    const bool limited = ::setrlimit(RLIMIT_CORE, &none) == 0;
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return limited && undumpable;
#endif
}

} // namespace mus
