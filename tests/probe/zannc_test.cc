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

// A listening socket on 127.0.0.1 with a port of the kernel's choice.
struct Listener {
  int fd = -1;
  int port = 0;
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      close(fd);
      fd = -1;
      return;
    }
    port = ntohs(address.sin_port);
  }
  ~Listener() {
    if (fd >= 0) close(fd);
  }
};

struct ZanncRun {
  int status = -1;
  std::string out;
  double seconds = 0;
};

// Runs zannc with `input` on its standard input against 127.0.0.1:port.
ZanncRun runZannc(const std::string& input, int port) {
  std::string command = "printf '%b' '" + input + "' | " + builtProduct() + "/bin/zannc 127.0.0.1 " +
                        std::to_string(port) + " 2>/dev/null";
  auto start = std::chrono::steady_clock::now();
  ZanncRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

TEST(Zannc, SendsItsInputAndWritesTheAnswerUntilThePeerCloses) {
  Listener listener;
  ASSERT_GE(listener.fd, 0);
  std::string received;
  std::thread peer([&] {
    int client = accept(listener.fd, nullptr, nullptr);
    if (client < 0) return;
    char buffer[256];
    ssize_t n;
    while ((n = read(client, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
    std::string reply = "HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n";
    ssize_t written = write(client, reply.data(), reply.size());
    (void)written;
    close(client);
  });
  ZanncRun run = runZannc("HEAD / HTTP/1.1\\nConnection: Close\\n\\n\\n", listener.port);
  peer.join();
  EXPECT_EQ(received, "HEAD / HTTP/1.1\nConnection: Close\n\n\n");
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nServer: CUPS/2.4 IPP/2.1\r\n\r\n");
  EXPECT_EQ(run.status, 0);
}

TEST(Zannc, GivesUpOnASilentPeerAndOnNoPeer) {
  Listener listener;
  ASSERT_GE(listener.fd, 0);
  // The connection is accepted by the kernel's backlog; nobody ever answers.
  ZanncRun silent = runZannc("HEAD / HTTP/1.1\\n\\n", listener.port);
  EXPECT_EQ(silent.status, 1);
  EXPECT_EQ(silent.out, "");
  EXPECT_GE(silent.seconds, 4.0);
  EXPECT_LT(silent.seconds, 10.0);

  int port = listener.port;
  close(listener.fd);
  listener.fd = -1;
  ZanncRun none = runZannc("x", port);
  EXPECT_EQ(none.status, 1);
  EXPECT_LT(none.seconds, 3.0);
}

}  // namespace
