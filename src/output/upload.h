#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/bitmap.h"

namespace tovasen {

// Where captures are uploaded: the image-hosting service in production, a local TLS server in
// tests. Always HTTPS: the screenshot and the address that comes back are nobody else's to read
// or change on the way.
struct UploadEndpoint {
    std::wstring host;
    unsigned short port = 443;
    // Connect, send and receive each; a server that accepts and never answers must not hold
    // the upload for minutes.
    unsigned long timeoutMs = 30000;
    // The whole request, from the connection to the reply's last byte: a server that keeps
    // every step alive with a byte now and then still ends it here.
    unsigned long deadlineMs = 120000;
};

using UploadProgress = std::function<void(std::uint32_t position, std::uint32_t size)>;

// The bitmap as the PNG writer would save it. Reads the pixels, so it runs on the thread that
// owns the bitmap, before the upload starts.
std::vector<std::uint8_t> EncodeUploadPng(TBitmap& bitmap);

// Posts png to the endpoint's "/image" and answers the address the service published it
// under, or empty when anything failed (no connection, a certificate the system does not trust
// for the host, a redirect (never followed), a short write, a status other than 200,
// a reply without success, an address that is not a plain web address, the deadline passed).
// Returns by the deadline whatever the server does: the exchange runs on a thread of its own,
// which is left to end (and to close its connection) by itself. Progress is called on that
// thread, before each 1 KiB of the body and once at the end, and never once this has returned.
// Safe to run on any thread; it never waits for the user-interface thread.
std::wstring UploadPng(std::vector<std::uint8_t> png, const UploadEndpoint& endpoint, const UploadProgress& progress);

}  // namespace tovasen
