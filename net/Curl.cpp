// Shared libcurl set-up.

#include "net/Curl.h"

#include <mutex>

namespace tvn {

CurlHandle newCurlHandle()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    return CurlHandle(curl_easy_init());
}

void verifyServers(CURL* handle, const std::string& caBundle)
{
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caBundle.empty()) {
        // The extra bundle as the file, the system's authorities through their hashed folder.
        curl_easy_setopt(handle, CURLOPT_CAINFO, caBundle.c_str());
        curl_easy_setopt(handle, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
}

} // namespace tvn
