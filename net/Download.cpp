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

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn {

namespace {

// What a resuming transfer knows of its part and of the answer arriving. The answer is judged at its
// first byte (its status and headers known by then): appended after the part, written over it, or
// thrown away (an error page).
struct Resume {
    const PartialFile* partial = nullptr;
    uint64_t kept = 0; // the part's length when the transfer began
    std::string etag, lastModified, contentRange; // of the answer being received
    enum class Mode { Undecided, Append, StartOver, Discard, Misplaced } mode = Mode::Undecided;
};

struct Transfer {
    Transfer(CURL* handle, const DownloadProgressFunction& onProgress, const DownloadCancelFunction& isCancelled, const DownloadLimits& limits)
        : curl(handle)
        , progress(&onProgress)
        , cancel(&isCancelled)
        , maxBytes(limits.maxBytes ? limits.maxBytes : maxDownloadBytes())
    {
    }

    CURL* curl;
    const DownloadProgressFunction* progress;
    const DownloadCancelFunction* cancel;
    platform::AtomicFileWriter file; // a fresh transfer's
    Resume* resume = nullptr;        // a resuming transfer's
    uint64_t maxBytes = 0;
    uint64_t base = 0; // bytes before this answer's first: the part an appended answer goes on from
    uint64_t received = 0;
    bool writeFailed = false;
    bool tooLarge = false;
    Sha256 digest; // of the file so far, fed as it arrives
};

std::error_code lastError()
{
    return { errno, std::generic_category() };
}

// The first `length` bytes of a file into a digest.
bool feedDigest(int fd, uint64_t length, Sha256& digest)
{
    std::string buffer(1 << 20, '\0');
    for (uint64_t at = 0; at < length;) {
        const ssize_t got = ::pread(fd, buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - at)), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        digest.update(std::string_view(buffer.data(), static_cast<size_t>(got)));
        at += static_cast<uint64_t>(got);
    }
    return true;
}

// "bytes 4-9/10" -> 4.
std::optional<uint64_t> contentRangeStart(std::string_view value)
{
    if (!value.starts_with("bytes "))
        return std::nullopt;
    value.remove_prefix(6);
    uint64_t start = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), start);
    if (error != std::errc() || end == value.data() + value.size() || *end != '-')
        return std::nullopt;
    return start;
}

// The answer's validator, as If-Range takes it: a strong ETag, else its Last-Modified date.
std::string validatorOf(const Resume& resume)
{
    if (!resume.etag.empty() && !resume.etag.starts_with("W/"))
        return resume.etag;
    return resume.lastModified;
}

// The validator kept for a part: one line, as the server sent it; empty when there is none.
std::string readValidator(const std::filesystem::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    std::string text(1024, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(stream.gcount()));
    const std::string_view line = trim(text);
    return line.find_first_of("\r\n") == std::string_view::npos ? std::string(line) : std::string();
}

void restartPart(const Resume& resume)
{
    if (::ftruncate(resume.partial->fd, 0) != 0) {
        LOG_ERROR << "download part cannot be emptied, " << lastError().message();
    }
    std::error_code ignored;
    std::filesystem::remove(resume.partial->validatorFile, ignored);
}

// The answer's first byte is here: where its bytes go.
void judgeAnswer(Transfer& transfer)
{
    Resume& resume = *transfer.resume;
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status == 206) {
        if (contentRangeStart(resume.contentRange) != resume.kept) {
            resume.mode = Resume::Mode::Misplaced;
            return;
        }
        if (!feedDigest(resume.partial->fd, resume.kept, transfer.digest)) {
            transfer.writeFailed = true;
            return;
        }
        transfer.base = resume.kept;
        resume.mode = Resume::Mode::Append;
        LOG_INFO << "download resumed at " << resume.kept << " bytes";
    } else if (status == 200) {
        restartPart(resume);
        resume.mode = Resume::Mode::StartOver;
    } else {
        resume.mode = Resume::Mode::Discard;
        return;
    }
    const std::string validator = validatorOf(resume);
    std::error_code ignored;
    if (validator.empty())
        std::filesystem::remove(resume.partial->validatorFile, ignored);
    else if (platform::writeFileAtomically(resume.partial->validatorFile, validator)) {
        LOG_ERROR << "download validator cannot be kept: " << resume.partial->validatorFile.string();
    }
}

size_t onData(char* data, size_t size, size_t count, void* user)
{
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string_view bytes(data, size * count);
    if (bytes.size() > transfer.maxBytes - std::min(transfer.maxBytes, transfer.base + transfer.received)) {
        transfer.tooLarge = true;
        return 0;
    }
    if (transfer.resume && transfer.resume->mode == Resume::Mode::Undecided)
        judgeAnswer(transfer);
    if (transfer.writeFailed || (transfer.resume && transfer.resume->mode == Resume::Mode::Misplaced))
        return 0;
    transfer.received += bytes.size();
    if (transfer.resume && transfer.resume->mode == Resume::Mode::Discard)
        return bytes.size();
    const std::error_code written = transfer.resume ? platform::writeAll(transfer.resume->partial->fd, bytes) : transfer.file.write(bytes);
    if (written) {
        transfer.writeFailed = true;
        return 0; // curl ends the transfer with a write error
    }
    transfer.digest.update(bytes);
    return bytes.size();
}

// A resuming transfer's headers: a status line starts a new block (a redirect's headers are not
// the final answer's).
size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto& resume = *static_cast<Resume*>(user);
    const std::string_view line = trim(std::string_view(data, size * count));
    if (line.starts_with("HTTP/")) {
        resume.etag.clear();
        resume.lastModified.clear();
        resume.contentRange.clear();
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        const std::string name = asciiLower(line.substr(0, colon));
        const std::string value(trim(line.substr(colon + 1)));
        if (name == "etag")
            resume.etag = value;
        else if (name == "last-modified")
            resume.lastModified = value;
        else if (name == "content-range")
            resume.contentRange = value;
    }
    return size * count;
}

int onProgress(void* user, curl_off_t total, curl_off_t current, curl_off_t, curl_off_t)
{
    auto& transfer = *static_cast<Transfer*>(user);
    if (*transfer.progress)
        (*transfer.progress)(static_cast<uint64_t>(current) + transfer.base, total ? static_cast<uint64_t>(total) + transfer.base : 0);
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

// curl fetches only what the system's own parser could judge (a backslash or an odd host would be
// read one way here and another way there).
std::optional<Url> downloadableUrl(const std::string& address)
{
    std::optional<Url> parsed = parseUrl(address);
    if (!parsed || (parsed->scheme != "http" && parsed->scheme != "https")) {
        LOG_ERROR << "download address refused, not an http or https url: " << address;
        return std::nullopt;
    }
    return parsed;
}

// Runs one transfer of `address` into `transfer`; the answer's status.
std::pair<CURLcode, long> perform(Transfer& transfer, const std::string& address, const Url& parsed, const DownloadLimits& limits,
    curl_slist* headers)
{
    const std::string authorities = GlobalConfig::instance().get("server", "ca", "");
    CURL* curl = transfer.curl;
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A transfer that began over TLS stays on it: a redirect to plain http would hand the file's
    // content to anyone on the path.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, parsed.scheme == "https" ? "https" : "http,https");
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
    if (headers)
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK || status < 200 || status >= 300) {
        if (passedLimit(code, transfer))
            LOG_ERROR << "download too large: " << address << ", limit " << transfer.maxBytes;
        else
            LOG_ERROR << "download failed: " << address << ", curl " << static_cast<int>(code) << ", status " << status;
    }
    return { code, status };
}

bool hasDigest(Sha256& digest, std::string_view expected, const std::string& address)
{
    const std::string received = digest.hexDigest();
    if (received == asciiLower(expected))
        return true;
    LOG_ERROR << "download digest mismatch: " << address << ", expected " << asciiLower(expected) << ", got " << received;
    return false;
}

} // namespace

int32_t fetchUrlToFile(const DownloadProgressFunction& progress, const DownloadCancelFunction& cancel, std::string_view url,
    const std::filesystem::path& path, std::string_view sha256, const DownloadLimits& limits)
{
    const std::string address(url);
    // Nothing is made on disk for an address refused.
    const std::optional<Url> parsed = downloadableUrl(address);
    if (!parsed)
        return kDownloadError;
    std::error_code error;
    const std::filesystem::path folder = path.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error) && !std::filesystem::create_directories(folder, error)) {
        LOG_ERROR << "download folder cannot be created: " << folder.string();
        return kDownloadNoFolder;
    }

    const CurlHandle handle = newCurlHandle();
    if (!handle)
        return kDownloadError;
    Transfer transfer(handle.get(), progress, cancel, limits);
    if (const std::error_code opened = transfer.file.open(path)) {
        LOG_ERROR << "download file cannot be created: " << path.string() << ", " << opened.message();
        return kDownloadCannotWrite;
    }
    const auto [code, status] = perform(transfer, address, *parsed, limits, nullptr);
    if (const int32_t result = resultOf(code, status, transfer))
        return result; // the writer removes the temporary file
    if (!sha256.empty() && !hasDigest(transfer.digest, sha256, address))
        return kDownloadBadDigest; // the old file stays as it was
    if (const std::error_code committed = transfer.file.commit()) {
        LOG_ERROR << "download cannot be put in place: " << path.string() << ", " << committed.message();
        return kDownloadCannotWrite;
    }
    return 0;
}

int32_t fetchUrlResuming(const DownloadProgressFunction& progress, const DownloadCancelFunction& cancel, std::string_view url,
    const PartialFile& partial, std::string_view sha256, const DownloadLimits& limits)
{
    const std::string address(url);
    const std::optional<Url> parsed = downloadableUrl(address);
    if (!parsed)
        return kDownloadError;
    struct stat status {};
    if (::fstat(partial.fd, &status) != 0)
        return kDownloadCannotWrite;
    const CurlHandle handle = newCurlHandle();
    if (!handle)
        return kDownloadError;
    Resume resume;
    resume.partial = &partial;
    resume.kept = static_cast<uint64_t>(status.st_size);
    Transfer transfer(handle.get(), progress, cancel, limits);
    transfer.resume = &resume;
    // A part as long as the whole file is either the file (an attempt that ended before it was
    // taken) or nothing worth resuming.
    if (resume.kept > 0 && resume.kept >= transfer.maxBytes) {
        Sha256 digest;
        if (resume.kept == transfer.maxBytes && feedDigest(partial.fd, resume.kept, digest) && digest.hexDigest() == asciiLower(sha256))
            return 0;
        restartPart(resume);
        resume.kept = 0;
    }
    curl_easy_setopt(handle.get(), CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle.get(), CURLOPT_HEADERDATA, &resume);
    CurlList headers;
    if (resume.kept > 0) {
        const std::string range = std::to_string(resume.kept) + "-";
        curl_easy_setopt(handle.get(), CURLOPT_RANGE, range.c_str()); // curl copies it
        const std::string validator = readValidator(partial.validatorFile);
        if (!validator.empty())
            headers.reset(curl_slist_append(nullptr, ("If-Range: " + validator).c_str()));
    }
    const auto [code, answered] = perform(transfer, address, *parsed, limits, headers.get());
    if (resume.mode == Resume::Mode::Misplaced) {
        LOG_ERROR << "download resume answered from another place: " << address << ", " << resume.contentRange;
        restartPart(resume);
        return kDownloadError;
    }
    if (answered == 416) // the part is not a start of this file
        restartPart(resume);
    if (const int32_t result = resultOf(code, answered, transfer))
        return result; // what arrived stays for the next attempt
    if (resume.mode == Resume::Mode::Undecided) // an answer without a body
        judgeAnswer(transfer);
    if (transfer.writeFailed)
        return kDownloadCannotWrite;
    if (!hasDigest(transfer.digest, sha256, address)) {
        restartPart(resume);
        return kDownloadBadDigest;
    }
    std::error_code ignored;
    std::filesystem::remove(partial.validatorFile, ignored);
    return 0;
}

} // namespace tvn
