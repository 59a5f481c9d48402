#include "host/remote_login.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace vorlek::host {

void split_user(const std::string& user, std::string& domain, std::string& name) {
    const size_t slash = user.find('\\');
    if (slash != std::string::npos) {
        domain = user.substr(0, slash);
        name = user.substr(slash + 1);
        return;
    }
    const size_t at = user.rfind('@');
    if (at != std::string::npos) {
        name = user.substr(0, at);
        domain = user.substr(at + 1);
        return;
    }
    domain.clear();
    name = user;
}

std::optional<std::string> read_password_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (in.bad()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos) return std::nullopt;
    return line;
}

std::optional<std::string> prompt_password(const std::string& prompt) {
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios saved{};
    const bool terminal = tcgetattr(fd, &saved) == 0;
    if (!terminal) {
        close(fd);
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(fd, TCSAFLUSH, &quiet);
    [[maybe_unused]] auto written = write(fd, prompt.data(), prompt.size());
    std::string password;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        password.push_back(c);
    tcsetattr(fd, TCSAFLUSH, &saved);
    close(fd);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

bool have_ticket_cache() {
    if (const char* name = std::getenv("KRB5CCNAME")) {
        std::string cache = name;
        if (cache.rfind("FILE:", 0) == 0)
            cache = cache.substr(5);
        else if (cache.find(':') != std::string::npos)
            return true;  // KEYRING:, KCM:, ...
        struct stat st {};
        return stat(cache.c_str(), &st) == 0;
    }
    struct stat st {};
    return stat(("/tmp/krb5cc_" + std::to_string(getuid())).c_str(), &st) == 0;
}

}  // namespace vorlek::host
