// The sign-in of `vorlek-run --remote`: who the script acts as on the
// servers, and the password, which never comes from the command line.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace vorlek::host {

struct RemoteLogin {
    std::string server;
    std::string user;           // "DOMAIN\name", "name@REALM" or "name"
    std::string password_file;  // empty: a ticket, else a prompt
};

// The domain and account name of "DOMAIN\name", "name@REALM" or "name".
void split_user(const std::string& user, std::string& domain, std::string& name);

// The first line of `path` without its line end; nullopt when it cannot be
// read or holds a NUL.
std::optional<std::string> read_password_file(const std::string& path);

// Asks on the terminal with echo off; nullopt without a terminal.
std::optional<std::string> prompt_password(const std::string& prompt);

// Whether a Kerberos credential cache is there to sign in with.
bool have_ticket_cache();

}  // namespace vorlek::host
