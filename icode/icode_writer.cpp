// Writing mode of IcodeFile.
#include "icode/icode_file.h"

namespace icode {

// Placeholder until the writer lands: nothing to finish.
void IcodeFile::finish_unit() {}

}  // namespace icode
