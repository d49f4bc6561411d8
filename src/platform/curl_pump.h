// One curl transfer run while the window keeps painting, for the platform's curl files alone (curl stays
// inside the platform): the transfer is driven through a multi handle, the calling thread's event pump
// runs every 50 ms, and a wait the user cancels (Esc, closing the window) ends the transfer.
//
//   CURLM* multi = curl_multi_init();              // kept while its connections should be kept
//   CURLcode rc = PerformPumping(multi, easy);     // as curl_easy_perform(easy) would answer
#pragma once

#include <curl/curl.h>

namespace sarvoke {

// Performs `easy` through `multi`; the transfer's result, or CURLE_ABORTED_BY_CALLBACK when the wait was
// cancelled. Without a multi handle it is curl_easy_perform (and nothing else runs meanwhile).
CURLcode PerformPumping(CURLM* multi, CURL* easy);

}  // namespace sarvoke
