// Code page 936 on the host, through iconv.
#include <errno.h>
#include <iconv.h>

#include "platform/error.h"
#include "platform/text_gbk_backend.h"

namespace lk {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Error("iconv cannot convert from CP936");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // Returns false on an invalid or incomplete input sequence.
  bool Convert(std::string_view in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.assign(in.size() * 4 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t src_left = in.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    while (src_left > 0) {
      if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1)) {
        failed_at_ = in.size() - src_left;
        return false;
      }
    }
    out.resize(out.size() - dst_left);
    return true;
  }
  std::size_t failed_at() const { return failed_at_; }

 private:
  iconv_t cd_;
  std::size_t failed_at_ = 0;
};

}  // namespace

namespace gbk {

bool DecodeStrict(Bytes bytes, std::string& utf8) {
  Iconv cv("UTF-8", "CP936");
  return cv.Convert(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                    utf8);
}

std::string EncodeStrict(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) throw EncodingError(kNoMappingMessage);
  Iconv cv("CP936", "UTF-8");
  std::string out;
  if (!cv.Convert(utf8, out)) {
    std::size_t at = cv.failed_at(), end = at + 1;
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    throw EncodingError("'" + std::string(utf8.substr(at, end - at)) +
                        "' cannot be written in code page 936");
  }
  return out;
}

}  // namespace gbk

std::string Utf8ToGbk(std::string_view text) { return gbk::EncodeStrict(text); }

}  // namespace lk
