// fetchUrlToFile on libcurl.

#include "net/Download.h"

#include "core/GlobalConfig.h"
#include "core/Log.h"
#include "ipc/Url.h"
#include "net/Curl.h"
#include "net/ServerConfig.h"
#include "platform/AtomicFile.h"
#include "util/Sha256.h"
#include "util/Strings.h"

namespace tvn {

namespace {

struct Transfer {
    const DownloadProgressFunction* progress;
    const DownloadCancelFunction* cancel;
    platform::AtomicFileWriter file;
    uint64_t maxBytes = 0;
    uint64_t received = 0;
    bool writeFailed = false;
    bool tooLarge = false;
    Sha256 digest; // of what was written, fed as it arrives
};

size_t onData(char* data, size_t size, size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string_view bytes(data, size * count);
    if (bytes.size() > transfer.maxBytes - transfer.received) {
        transfer.tooLarge = true;
        return 0;
    }
    transfer.received += bytes.size();
    if (transfer.file.write(bytes)) {
        transfer.writeFailed = true;
        return 0; // curl ends the transfer with a write error
    }
    transfer.digest.update(bytes);
    return size * count;
}

int onProgress(void* user, curl_off_t total, curl_off_t current, curl_off_t, curl_off_t)
{
    auto& transfer = *static_cast<Transfer*>(user);
    if (*transfer.progress)
        (*transfer.progress)(static_cast<uint64_t>(current), static_cast<uint64_t>(total));
    return *transfer.cancel && (*transfer.cancel)() ? 1 : 0;
}

// The transfer passed its size limit: announced (curl's own check) or counted as it came.
bool passedLimit(CURLcode code, const Transfer& transfer)
{
    return transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED;
}

int32_t resultOf(CURLcode code, long status, const Transfer& transfer)
{
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return kDownloadAborted;
    if (transfer.writeFailed)
        return kDownloadCannotWrite;
    if (passedLimit(code, transfer))
        return kDownloadError;
    if (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_OPERATION_TIMEDOUT)
        return kDownloadCannotConnect;
    if (code != CURLE_OK)
        return kDownloadError;
    return status >= 200 && status < 300 ? 0 : kDownloadFailed;
}

} // namespace

int32_t fetchUrlToFile(const DownloadProgressFunction& progress, const DownloadCancelFunction& cancel, std::string_view url,
    const std::filesystem::path& path, std::string_view sha256, const DownloadLimits& limits)
{
    const std::string address(url);
    // curl fetches only what the system's own parser could judge (a backslash or an odd host would
    // be read one way here and another way there); nothing is made on disk for an address refused.
    const std::optional<Url> parsed = parseUrl(address);
    if (!parsed || (parsed->scheme != "http" && parsed->scheme != "https")) {
        LOG_ERROR << "download address refused, not an http or https url: " << address;
        return kDownloadError;
    }
    std::error_code error;
    const std::filesystem::path folder = path.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error) && !std::filesystem::create_directories(folder, error)) {
        LOG_ERROR << "download folder cannot be created: " << folder.string();
        return kDownloadNoFolder;
    }

    Transfer transfer { &progress, &cancel, {}, limits.maxBytes ? limits.maxBytes : maxDownloadBytes(), 0, false, false, {} };
    if (const std::error_code opened = transfer.file.open(path)) {
        LOG_ERROR << "download file cannot be created: " << path.string() << ", " << opened.message();
        return kDownloadCannotWrite;
    }
    const CurlHandle handle = newCurlHandle();
    if (!handle)
        return kDownloadError;

    const std::string authorities = GlobalConfig::instance().get("server", "ca", "");
    CURL* curl = handle.get();
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A transfer that began over TLS stays on it: a redirect to plain http would hand the file's
    // content to anyone on the path.
    const bool secure = parsed->scheme == "https";
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.stallBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stallTime.count()));
    // A length announced above the limit ends the transfer before any byte is written.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(transfer.maxBytes));
    verifyServers(curl, authorities);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    const int32_t result = resultOf(code, status, transfer);
    if (result != 0) {
        if (passedLimit(code, transfer))
            LOG_ERROR << "download too large: " << address << ", limit " << transfer.maxBytes;
        else
            LOG_ERROR << "download failed: " << address << ", curl " << static_cast<int>(code) << ", status " << status;
        return result; // the writer removes the temporary file
    }
    if (!sha256.empty()) {
        const std::string received = transfer.digest.hexDigest();
        if (received != asciiLower(sha256)) {
            LOG_ERROR << "download digest mismatch: " << address << ", expected " << asciiLower(sha256) << ", got " << received;
            return kDownloadBadDigest; // the old file stays as it was
        }
    }
    if (const std::error_code committed = transfer.file.commit()) {
        LOG_ERROR << "download cannot be put in place: " << path.string() << ", " << committed.message();
        return kDownloadCannotWrite;
    }
    return 0;
}

} // namespace tvn
