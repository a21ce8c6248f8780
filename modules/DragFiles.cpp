// The dragged-file list.

#include "modules/DragFiles.h"

namespace tvn {

std::vector<std::string>& dragFileList()
{
    static std::vector<std::string> files;
    return files;
}

} // namespace tvn
