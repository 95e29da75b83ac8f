#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::security {

// The database engine's own accounts (qvpwd): their passwords are made at
// random and kept enciphered (an authenticated cipher) with a key that lives
// in a key file beside the data, readable by its owner only, never in the
// program. A copy of the table without the key file reveals nothing.
class DatabaseAccounts {
 public:
  DatabaseAccounts(store::Connection& practice, std::filesystem::path keyFile);

  // A new random password (8 to 56 letters and digits; the longest the
  // 128-character field holds once enciphered) for the account, kept and returned.
  std::string createAccount(const std::string& accountName, std::size_t length = 24);
  // The account's password, deciphered; no value when there is none or the
  // key does not open it.
  std::optional<std::string> password(const std::string& accountName);

 private:
  std::string key();

  store::Connection& practice_;
  std::filesystem::path keyFile_;
};

}  // namespace vantrell::security
