// The item records of the repair service, as the page hands them over (UTF-8 text).
#pragma once

#include <string>
#include <vector>

namespace tvn {

struct DllItem {
    std::string filePath;               // where a repair puts the file, file name included
    std::vector<std::string> checkPath; // folders the scan looks in; each a plain prefix of the name
    std::string fileName;
    std::string fileType;
    bool needReg = false;               // register the file after a successful download
};

struct SoftwareItem {
    std::string displayName; // how the package is listed among the installed programs
    std::string fileName;    // the installer's name on the server and on disk
    std::string fileType;    // always empty for software
    std::string cmdParam;    // the installer's parameters
    std::string regPath;     // carried, not used
};

// errorCode of "onRepairDlls" and "onInstallSoftwares".
enum RepairError : int32_t {
    kRepairDone = 0,
    kRepairNoAddress = 1,
    kRepairDownloadFailed = 2,
    kRepairLaunchFailed = 3,
};

} // namespace tvn
