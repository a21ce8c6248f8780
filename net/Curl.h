// What every libcurl transfer of the program shares: the owning handle, the one-time global
// set-up, and how servers are trusted.
#pragma once

#include <curl/curl.h>
#include <memory>
#include <string>

namespace tvn {

struct CurlDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// curl_global_init once per process, then a new easy handle (null when curl cannot make one).
CurlHandle newCurlHandle();

// Certificates verified against the system's authorities and, when `caBundle` names a file, the
// authorities in it as well (curl copies the text).
void verifyServers(CURL*, const std::string& caBundle);

} // namespace tvn
