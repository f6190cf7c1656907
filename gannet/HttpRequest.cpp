#include "HttpRequest.h"

#include <openssl/evp.h>

namespace gannet {

namespace {

void AppendEscaped(std::string* out, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x21 || c > 0x7E) {
      out->push_back('%');
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0x0F]);
    } else {
      out->push_back(ch);
    }
  }
}

std::string Base64(const std::string& text) {
  std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

bool IsLoopback(const std::string& host) { return host == "127.0.0.1" || host == "::1"; }

}  // namespace

std::string CHttpRequest::Get(const std::string& target, const std::string& hostHeader,
                              const std::string& credentials,
                              const std::string& extraHeaders) {
  std::string request = "GET ";
  AppendEscaped(&request, target);
  request += " HTTP/1.0\r\nHost: ";
  AppendEscaped(&request, hostHeader);
  // The file is wanted as it lies on the server, never in a content coding.
  request += "\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
  if (!credentials.empty()) request += "Authorization: Basic " + Base64(credentials) + "\r\n";
  request += extraHeaders + "\r\n";
  return request;
}

std::string CHttpRequest::Connect(const HostPort& host) {
  std::string authority;
  AppendEscaped(&authority,
                (host.name.find(':') == std::string::npos ? host.name : "[" + host.name + "]") +
                    ":" + std::to_string(host.port));
  return "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
}

bool CHttpRequest::MayCarry(const std::string& credentials, const RequestTarget& target,
                            bool proxied) {
  return credentials.empty() || target.https || (!proxied && IsLoopback(target.host.name));
}

}  // namespace gannet
