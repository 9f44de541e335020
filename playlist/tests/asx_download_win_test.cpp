// downloadAndReadAsx through the system's download call, against a small HTTP
// server on the loopback address that the test runs itself.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "playlist/asx_file.h"

namespace kestrun::playlist {
namespace {

constexpr char kAsxBody[] =
    "<ASX version=\"3.0\"><TITLE>Night Mix</TITLE><ENTRY><AUTHOR>DJ \x83\x41</AUTHOR>"
    "<REF HREF=\"HTTP://127.0.0.1/Stream.WMA\" /></ENTRY></ASX>";

// Answers GET /show.asx with the ASX text and everything else with 404, one
// connection at a time, until destroyed.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // any free port
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 8);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    stopping_ = true;
    closesocket(listener_);
    thread_.join();
    WSACleanup();
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  void Serve() {
    while (!stopping_) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<size_t>(got));
      }
      const bool found = request.rfind("GET /show.asx ", 0) == 0;
      const std::string body = found ? kAsxBody : "not here";
      const std::string response =
          std::string(found ? "HTTP/1.0 200 OK" : "HTTP/1.0 404 Not Found") +
          "\r\nContent-Type: video/x-ms-asf\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n" + body;
      send(client, response.data(), static_cast<int>(response.size()), 0);
      shutdown(client, SD_SEND);
      closesocket(client);
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// The "qnf" temporary files currently in the user's temporary folder.
int QnfFiles() {
  char directory[MAX_PATH + 1] = {};
  GetTempPathA(sizeof directory, directory);
  const std::string pattern = std::string(directory) + "qnf*.tmp";
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileA(find, &found));
  FindClose(find);
  return count;
}

TEST(DownloadAndReadAsxOverHttp, ReadsTheDownloadedFileAndDeletesIt) {
  LoopbackServer server;
  const int before = QnfFiles();
  char reference[platform::kPathCapacity], title[kAsxTextSize], author[kAsxTextSize];
  EXPECT_EQ(downloadAndReadAsx(server.Url("/show.asx").c_str(), reference, title, author), 0);
  EXPECT_STREQ(reference, "http://127.0.0.1/stream.wma");
  EXPECT_STREQ(title, "Night Mix");
  EXPECT_STREQ(author, "DJ \x83\x41");
  EXPECT_EQ(QnfFiles(), before);
}

// The failing download: nothing listens on the port any more. (A 404 page is no
// failure to the download call under Wine; it is downloaded like any other file.)
TEST(DownloadAndReadAsxOverHttp, RefusedConnectionIsNegativeAndLeavesNoFile) {
  std::string url;
  {
    LoopbackServer server;
    url = server.Url("/show.asx");
  }
  const int before = QnfFiles();
  char reference[platform::kPathCapacity] = "old", title[kAsxTextSize] = "old", author[kAsxTextSize] = "old";
  EXPECT_LT(downloadAndReadAsx(url.c_str(), reference, title, author), 0);
  EXPECT_STREQ(reference, "");
  EXPECT_STREQ(title, "");
  EXPECT_EQ(QnfFiles(), before);
}

}  // namespace
}  // namespace kestrun::playlist
