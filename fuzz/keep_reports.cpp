// The start of the targets that capture stderr: the sanitizers' reports go to
// the real one, also while a target holds it to capture what the library
// writes there.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::keep_reports_on_stderr();
    return 0;
}
