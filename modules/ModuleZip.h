// The "zip" module: open(options) gives a ZipFile whose info() lists the archive's entries. The
// ZipFile closes its archive when it is collected or its page goes, so an archive opened for
// writing is finalised. Script thread only.
#pragma once

#include "modules/ModuleBase.h"
#include "modules/ZipArchive.h"

namespace tvn {

class ModuleZip final : public ModuleBase {
public:
    ScriptValue CreateObject(JSCContext*) override;
};

class ZipFile final : public ModuleBase {
public:
    explicit ZipFile(std::unique_ptr<ZipArchive> archive)
        : m_archive(std::move(archive))
    {
    }
    ScriptValue CreateObject(JSCContext*) override;

private:
    std::unique_ptr<ZipArchive> m_archive; // null when opening failed
};

} // namespace tvn
