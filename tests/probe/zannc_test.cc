// The product's netcat helper against peers on the loopback address: one that answers
// after the request ends, one that accepts and stays silent, and none at all.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"

namespace {

// Standard output, exit status and duration of zannc with `input` (printf %b) on its
// standard input, sent to 127.0.0.1:port.
struct ZanncRun {
  std::string out;
  int status = -1;
  double seconds = 0;
  ZanncRun(const std::string& input, int port) {
    auto start = std::chrono::steady_clock::now();
    std::string command = "printf '%b' '" + input + "' | " + builtProduct() + "/bin/zannc 127.0.0.1 " +
                          std::to_string(port) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    for (int c; pipe != nullptr && (c = fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    if (pipe != nullptr) status = WEXITSTATUS(pclose(pipe));
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

TEST(Zannc, AnswerUntilThePeerClosesGivesUpOnSilenceAndOnNoPeer) {
  // A listening socket on 127.0.0.1 with a port of the kernel's choice.
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);

  // A peer that reads the whole request, answers and closes.
  const std::string reply = "HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n";
  std::string received;
  std::thread peer([&] {
    int client = accept(listener, nullptr, nullptr);
    char buffer[256];
    for (ssize_t n; (n = read(client, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    EXPECT_EQ(write(client, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
    close(client);
  });
  ZanncRun answered("HEAD / HTTP/1.1\\nConnection: Close\\n\\n\\n", port);
  peer.join();
  EXPECT_EQ(received, "HEAD / HTTP/1.1\nConnection: Close\n\n\n");
  EXPECT_EQ(answered.out + std::to_string(answered.status), reply + "0");

  // The kernel's backlog accepts the connection; nobody ever answers.
  ZanncRun silent("HEAD / HTTP/1.1\\n\\n", port);
  EXPECT_EQ(silent.out + std::to_string(silent.status), "1");
  EXPECT_TRUE(silent.seconds >= 4.0 && silent.seconds < 10.0) << silent.seconds;

  close(listener);
  ZanncRun none("x", port);
  EXPECT_TRUE(none.status == 1 && none.seconds < 3.0) << none.status << " " << none.seconds;
}

}  // namespace
