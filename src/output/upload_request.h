#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tovasen {

// What the image-hosting service is sent and how its answer is read; the WinInet side is in
// upload.cpp.

// The multipart boundary for two random numbers, each reduced to 0 ... 2147483646 and written
// as 8 upper-case hexadecimal digits behind a fixed text of seven hyphens and a name.
std::string UploadBoundary(std::uint32_t first, std::uint32_t second);

// The request body: one form field "file" named tovasen.png holding the PNG bytes.
std::vector<std::uint8_t> BuildUploadBody(const std::vector<std::uint8_t>& png, const std::string& boundary);

// The extra request header lines: the Host line and the multipart content type, each ending
// in CR LF.
std::wstring UploadHeaders(const std::wstring& host, unsigned port, const std::string& boundary);

inline constexpr std::size_t kUploadChunkSize = 1024;

// Hands body to write in pieces of at most kUploadChunkSize bytes. Before each piece, and once
// more at the end, progress gets (bytes already taken, body size). write answers how many bytes
// it took; anything but all of them stops the sending and answers false.
bool SendInChunks(const std::vector<std::uint8_t>& body,
                  const std::function<void(std::uint32_t position, std::uint32_t size)>& progress,
                  const std::function<std::size_t(const std::uint8_t* data, std::size_t size)>& write);

// The largest reply the service's JSON answer needs; a longer one is not read further.
inline constexpr std::size_t kMaxUploadReply = 64 * 1024;

// The published address from the service's reply, or empty for a failure: only status 200
// with the exact member "status":"success" counts, the address is the "url" member (not
// "thumb_url" or the like), unescaped, and it must pass the web-address gate.
std::wstring UploadAddressFromReply(unsigned long status, const std::wstring& reply);

// The top row of the 30-pixel progress strip: the screen's bottom, or right above a taskbar
// that lies along the bottom edge.
struct StripRect {
    int left, top, right, bottom;
};
inline constexpr int kStripHeight = 30;
int ProgressStripTop(int screenWidth, int screenHeight, const StripRect* taskbar);

}  // namespace tovasen
