#include "security/password_verifier.hpp"

#include <sodium.h>

#include <array>
#include <cstdlib>
#include <stdexcept>

#include "store/names.hpp"

namespace vantrell::security {
namespace {

// Verifier layout: "v" + cost letter + salt (22) + upper-case hash (22) + exact hash (22) = 68.
constexpr std::size_t saltBytes = crypto_pwhash_SALTBYTES;  // 16
constexpr std::size_t hashBytes = 16;
constexpr std::size_t encodedLength = 22;  // 16 bytes, base64 without padding
constexpr std::size_t verifierLength = 2 + 3 * encodedLength;
constexpr std::size_t answerHashBytes = 18;  // 24 characters encoded, after the cost letter

void ready() {
  static const bool initialised = [] {
    if (sodium_init() < 0) throw std::runtime_error("The cryptography library could not start.");
    return true;
  }();
  (void)initialised;
}

// 'i' is the interactive cost, the one every stored verifier uses. The test
// suite, which makes hundreds, asks for the smallest cost with
// VANTRELL_PASSWORD_COST=test, which only a test build listens to; the letter
// records which was used.
char costLetter() {
#ifdef VANTRELL_TEST_PASSWORD_COST
  const char* cost = std::getenv("VANTRELL_PASSWORD_COST");
  return cost != nullptr && std::string_view(cost) == "test" ? 't' : 'i';
#else
  return 'i';
#endif
}

struct Cost {
  unsigned long long operations;
  std::size_t memory;
};

Cost costOf(char letter) {
  if (letter == 't') return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

std::string encode(const unsigned char* bytes, std::size_t length) {
  std::string out(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_URLSAFE_NO_PADDING), '\0');
  sodium_bin2base64(out.data(), out.size(), bytes, length, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  out.resize(out.find('\0'));
  return out;
}

bool decode(std::string_view text, unsigned char* bytes, std::size_t length) {
  std::size_t decoded = 0;
  return sodium_base642bin(bytes, length, text.data(), text.size(), nullptr, &decoded, nullptr,
                           sodium_base64_VARIANT_URLSAFE_NO_PADDING) == 0 &&
         decoded == length;
}

template <std::size_t Bytes>
std::array<unsigned char, Bytes> slowHash(std::string_view secret, const unsigned char* salt, char cost) {
  std::array<unsigned char, Bytes> out{};
  const Cost limits = costOf(cost);
  if (crypto_pwhash(out.data(), out.size(), secret.data(), secret.size(), salt, limits.operations, limits.memory,
                    crypto_pwhash_ALG_ARGON2ID13) != 0)
    throw std::runtime_error("Not enough memory to check the password.");
  return out;
}

bool matches(std::string_view verifier, std::string_view candidate, std::size_t part) {
  ready();
  if (verifier.size() != verifierLength || verifier[0] != 'v' || (verifier[1] != 'i' && verifier[1] != 't'))
    return false;
  std::array<unsigned char, saltBytes> salt{};
  std::array<unsigned char, hashBytes> stored{};
  if (!decode(verifier.substr(2, encodedLength), salt.data(), salt.size()) ||
      !decode(verifier.substr(2 + encodedLength * part, encodedLength), stored.data(), stored.size()))
    return false;
  const auto computed = slowHash<hashBytes>(candidate, salt.data(), verifier[1]);
  return sodium_memcmp(computed.data(), stored.data(), stored.size()) == 0;
}

std::string normalisedAnswer(std::string_view answer) {
  while (!answer.empty() && answer.front() == ' ') answer.remove_prefix(1);
  return store::upperAscii(store::trimRight(answer));
}

std::array<unsigned char, saltBytes> answerSalt(std::string_view userCode) {
  std::array<unsigned char, saltBytes> salt{};
  const std::string code = "vantrell answer " + store::upperAscii(store::trimRight(userCode));
  crypto_generichash(salt.data(), salt.size(), reinterpret_cast<const unsigned char*>(code.data()), code.size(),
                     nullptr, 0);
  return salt;
}

}  // namespace

std::string makePasswordVerifier(std::string_view password) {
  ready();
  std::array<unsigned char, saltBytes> salt{};
  randombytes_buf(salt.data(), salt.size());
  const char cost = costLetter();
  const auto upper = slowHash<hashBytes>(store::upperAscii(password), salt.data(), cost);
  const auto exact = slowHash<hashBytes>(password, salt.data(), cost);
  return std::string("v") + cost + encode(salt.data(), salt.size()) + encode(upper.data(), upper.size()) +
         encode(exact.data(), exact.size());
}

bool matchesIgnoringCase(std::string_view verifier, std::string_view password) {
  return matches(verifier, store::upperAscii(password), 1);
}

bool matchesExactly(std::string_view verifier, std::string_view password) { return matches(verifier, password, 2); }

std::string makeAnswerVerifier(std::string_view userCode, std::string_view answer) {
  ready();
  const auto salt = answerSalt(userCode);
  const char cost = costLetter();
  const auto hash = slowHash<answerHashBytes>(normalisedAnswer(answer), salt.data(), cost);
  return std::string(1, cost) + encode(hash.data(), hash.size());  // 1 + 24 = 25
}

bool answerMatches(std::string_view verifier, std::string_view userCode, std::string_view answer) {
  ready();
  if (verifier.size() != 25 || (verifier[0] != 'i' && verifier[0] != 't')) return false;
  std::array<unsigned char, answerHashBytes> stored{};
  if (!decode(verifier.substr(1), stored.data(), stored.size())) return false;
  const auto salt = answerSalt(userCode);
  const auto computed = slowHash<answerHashBytes>(normalisedAnswer(answer), salt.data(), verifier[0]);
  return sodium_memcmp(computed.data(), stored.data(), stored.size()) == 0;
}

std::string randomAlphanumeric(std::size_t length) {
  ready();
  static constexpr char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) out.push_back(alphabet[randombytes_uniform(sizeof(alphabet) - 1)]);
  return out;
}

}  // namespace vantrell::security
