#include "security/database_accounts.hpp"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "security/password_verifier.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::security {

DatabaseAccounts::DatabaseAccounts(store::Connection& practice, std::filesystem::path keyFile)
    : practice_(practice), keyFile_(std::move(keyFile)) {
  if (sodium_init() < 0) throw std::runtime_error("The cryptography library could not start.");
}

std::string DatabaseAccounts::key() {
  std::string bytes(crypto_secretbox_KEYBYTES, '\0');
  std::ifstream in(keyFile_, std::ios::binary);
  if (in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) && in.gcount() == static_cast<std::streamsize>(bytes.size()))
    return bytes;
  // A new key, made once, readable by its owner only.
  randombytes_buf(bytes.data(), bytes.size());
  std::filesystem::create_directories(keyFile_.parent_path());
  const int descriptor = ::open(keyFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (descriptor < 0) throw store::StoreError("Cannot make the key file " + keyFile_.string());
  const auto written = ::write(descriptor, bytes.data(), bytes.size());
  ::close(descriptor);
  if (written != static_cast<ssize_t>(bytes.size())) throw store::StoreError("Cannot write the key file " + keyFile_.string());
  return bytes;
}

std::string DatabaseAccounts::createAccount(const std::string& accountName, std::size_t length) {
  length = std::clamp<std::size_t>(length, 8, 56);
  const std::string secret = randomAlphanumeric(length);
  const std::string keyBytes = key();
  std::string box(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + secret.size(), '\0');
  auto* nonce = reinterpret_cast<unsigned char*>(box.data());
  randombytes_buf(nonce, crypto_secretbox_NONCEBYTES);
  crypto_secretbox_easy(nonce + crypto_secretbox_NONCEBYTES, reinterpret_cast<const unsigned char*>(secret.data()),
                        secret.size(), nonce, reinterpret_cast<const unsigned char*>(keyBytes.data()));
  std::string encoded(sodium_base64_ENCODED_LEN(box.size(), sodium_base64_VARIANT_ORIGINAL_NO_PADDING), '\0');
  sodium_bin2base64(encoded.data(), encoded.size(), reinterpret_cast<const unsigned char*>(box.data()), box.size(),
                    sodium_base64_VARIANT_ORIGINAL_NO_PADDING);
  encoded.resize(encoded.find('\0'));
  store::ensureTable(practice_, "qvpwd");
  store::Table accounts = practice_.openTable("qvpwd");
  accounts.setOrder("Primary");
  auto row = accounts.seek({store::Value{accountName}});
  if (row) {
    row->set("Password", encoded);
    accounts.post(*row);
  } else {
    store::Record fresh = accounts.newRecord();
    fresh.set("User Name", accountName);
    fresh.set("Password", encoded);
    accounts.append(fresh);
  }
  return secret;
}

std::optional<std::string> DatabaseAccounts::password(const std::string& accountName) {
  if (!practice_.tableExists("qvpwd")) return std::nullopt;
  store::Table accounts = practice_.openTable("qvpwd");
  accounts.setOrder("Primary");
  const auto row = accounts.seek({store::Value{accountName}});
  if (!row) return std::nullopt;
  const std::string encoded = row->text("Password");
  std::string box(encoded.size(), '\0');
  std::size_t length = 0;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(box.data()), box.size(), encoded.data(), encoded.size(),
                        nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0 ||
      length < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
    return std::nullopt;
  const std::string keyBytes = key();
  const auto* nonce = reinterpret_cast<const unsigned char*>(box.data());
  std::string secret(length - crypto_secretbox_NONCEBYTES - crypto_secretbox_MACBYTES, '\0');
  if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char*>(secret.data()), nonce + crypto_secretbox_NONCEBYTES,
                                 length - crypto_secretbox_NONCEBYTES, nonce,
                                 reinterpret_cast<const unsigned char*>(keyBytes.data())) != 0)
    return std::nullopt;
  return secret;
}

}  // namespace vantrell::security
