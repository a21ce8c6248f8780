// The "zip" module: open(options) gives a ZipFile whose info() lists the archive's entries, at
// once, or with a function argument off the script thread, the list then handed to the function
// (an archive from outside, a dropped one, may take long to walk). The ZipFile closes its archive
// when it is collected or its page goes and no listing still runs, so an archive opened for
// writing is finalised. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "platform/ZipArchive.h"

namespace tvn {

class ModuleZip final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

class ZipFile final : public ModuleBase {
public:
    explicit ZipFile(std::shared_ptr<ZipArchive> archive)
        : m_archive(std::move(archive))
    {
    }
    ScriptValue CreateObject(JSCContext*) override;

private:
    std::shared_ptr<ZipArchive> m_archive; // null when opening failed; shared with a listing thread
};

} // namespace tvn
