// zannc: the product's small netcat. `zannc HOST PORT` connects to HOST:PORT over TCP,
// sends its standard input there, writes what the peer answers to standard output and
// ends when the peer closes the connection. Unlike a bare netcat it gives up when the
// connection cannot be made or the peer stays silent for kSilenceSeconds, so a caller
// never hangs on a server that accepts and then says nothing.
// Exit status: 0 when the peer closed the connection, 1 on any failure or time-out,
// 2 on wrong arguments.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// How long a connection attempt, and the peer's silence, may last.
constexpr int kConnectSeconds = 5;
constexpr int kSilenceSeconds = 5;

long long nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Writes all of `data` to `fd`; false when the descriptor refuses it.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, kSilenceSeconds * 1000) <= 0) return false;
        continue;
      }
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Connects to one address within kConnectSeconds; the socket (non-blocking) or -1.
int connectTo(const addrinfo* address) {
  int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                  address->ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, address->ai_addr, address->ai_addrlen) == 0) return fd;
  if (errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  pollfd p{fd, POLLOUT, 0};
  int error = 0;
  socklen_t length = sizeof error;
  if (poll(&p, 1, kConnectSeconds * 1000) == 1 &&
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
    return fd;
  }
  close(fd);
  return -1;
}

int connectToHost(const char* host, const char* port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(host, port, &hints, &list);
  if (rc != 0) {
    fprintf(stderr, "zannc: %s:%s: %s\n", host, port, gai_strerror(rc));
    return -1;
  }
  int fd = -1;
  for (addrinfo* a = list; a != nullptr && fd < 0; a = a->ai_next) fd = connectTo(a);
  freeaddrinfo(list);
  if (fd < 0) fprintf(stderr, "zannc: cannot connect to %s:%s\n", host, port);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: zannc HOST PORT\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);  // a peer that closes early ends the sending, not the program

  int sock = connectToHost(argv[1], argv[2]);
  if (sock < 0) return 1;

  bool sending = true;
  long long lastHeard = nowMs();
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{sock, POLLIN, 0}, {sending ? STDIN_FILENO : -1, POLLIN, 0}};
    long long left = lastHeard + kSilenceSeconds * 1000LL - nowMs();
    if (left <= 0) {
      fprintf(stderr, "zannc: no answer from %s:%s for %d seconds\n", argv[1], argv[2], kSilenceSeconds);
      close(sock);
      return 1;
    }
    int ready = poll(fds, 2, static_cast<int>(left));
    if (ready < 0) {
      if (errno == EINTR) continue;
      close(sock);
      return 1;
    }
    if (ready == 0) continue;  // the time-out is checked at the top

    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = read(sock, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {  // the peer closed (or reset) the connection: done
        close(sock);
        return n == 0 ? 0 : 1;
      }
      lastHeard = nowMs();
      if (!writeAll(STDOUT_FILENO, buffer, static_cast<size_t>(n))) {
        close(sock);
        return 1;
      }
    }
    if (sending && (fds[1].revents & POLLNVAL)) {
      sending = false;  // no standard input at all: nothing to send
      shutdown(sock, SHUT_WR);
    } else if (sending && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // End of input: tell the peer that nothing more comes, then wait for its answer.
        sending = false;
        shutdown(sock, SHUT_WR);
      } else if (!writeAll(sock, buffer, static_cast<size_t>(n))) {
        sending = false;
      }
      lastHeard = nowMs();
    }
    if (fds[0].revents & POLLNVAL) {
      close(sock);
      return 1;
    }
  }
}
