#include "platform/shell/url_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <utility>

extern char** environ;

namespace shell {
namespace {

std::mutex launcherMutex;
Launcher currentLauncher;

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return name;
  const char* env = std::getenv("PATH");
  std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(':', pos);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(pos, end - pos);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    pos = end + 1;
  }
  return {};
}

void WriteErrno(int fd, int error) {
  ssize_t ignored = write(fd, &error, sizeof error);
  (void)ignored;
}

}  // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::string program = FindProgram(argv[0]);
  if (program.empty()) return false;
  // Everything the children need is prepared here: between fork and exec only
  // async-signal-safe calls are allowed.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;

  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    // The middle process exits at once, so the program is adopted by init and reaped there.
    pid_t grandchild = fork();
    if (grandchild < 0) {
      WriteErrno(report[1], errno);
      _exit(1);
    }
    if (grandchild > 0) _exit(0);
    setsid();
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    execve(program.c_str(), args.data(), environ);
    WriteErrno(report[1], errno);
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes without data when exec succeeded (close-on-exec).
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Launcher SetUrlLauncher(Launcher launcher) {
  std::lock_guard lock(launcherMutex);
  return std::exchange(currentLauncher, std::move(launcher));
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool IsOpenableUrl(std::string_view url) {
  for (unsigned char c : url) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  size_t colon = url.find(':');
  if (colon == std::string_view::npos) return false;
  std::string scheme(url.substr(0, colon));
  for (char& c : scheme) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (scheme == "mailto") {
    // Some mail programs attach local files named in the address; an archive must not be
    // able to send the user's files away.
    // Mail programs decode percent escapes in parameter names too ("%61ttach"), some of them
    // more than once: the filter looks at the address decoded until nothing changes.
    std::string query(url.substr(colon + 1));
    for (int round = 0; round < 8; ++round) {
      std::string decoded = PercentDecoded(query);
      if (decoded == query) break;
      query = std::move(decoded);
    }
    for (unsigned char c : query) {
      if (c < 0x20 || c == 0x7F) return false;
    }
    size_t mark = query.find('?');
    if (mark == std::string::npos) return true;
    for (char& c : query) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return query.find("attach", mark) == std::string::npos;
  }
  return scheme == "http" || scheme == "https" || scheme == "ftp";
}

bool OpenUrl(const std::string& url) {
  if (!IsOpenableUrl(url)) return false;
  Launcher launcher;
  {
    std::lock_guard lock(launcherMutex);
    launcher = currentLauncher;
  }
  std::vector<std::string> argv{"xdg-open", url};
  return launcher ? launcher(argv) : SpawnDetached(argv);
}

}  // namespace shell
