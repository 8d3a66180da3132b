// The helper layer's error texts and owners against the real system.
#include "platform/handles.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/error.h"

namespace lk {
namespace {

TEST(SystemErrorText, SystemTextOrTheCode) {
  const std::string known = SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(known.empty());
  EXPECT_EQ(known.find("System error"), std::string::npos) << known;
  EXPECT_NE(known.back(), '\n');
  EXPECT_NE(known.back(), '\r');
  EXPECT_NE(known.back(), ' ');
  EXPECT_TRUE(HasSystemErrorText(ERROR_FILE_NOT_FOUND));
  // The system's text for a failed HRESULT of a Win32 code is that code's.
  EXPECT_EQ(SystemErrorText(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))),
            SystemErrorText(ERROR_ACCESS_DENIED));

  // Codes nobody has a text for name themselves: Win32 codes in decimal,
  // HRESULTs in hex.
  struct Case {
    DWORD code;
    const char* text;
  } unknown[] = {
      {0x2FFFu, "System error 12287"},
      {0x80AB0001u, "System error 0x80AB0001"},
      {0xC00D3E85u, "System error 0xC00D3E85"},
  };
  for (const Case& c : unknown) {
    EXPECT_FALSE(HasSystemErrorText(c.code)) << c.code;
    EXPECT_EQ(SystemErrorText(c.code), c.text);
  }
}

TEST(SystemErrorText, ModuleTableFirstThenTheSystem) {
  UniqueModule winhttp(LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  ASSERT_TRUE(winhttp);
  // A system code is still found with a module given.
  EXPECT_EQ(SystemErrorText(ERROR_FILE_NOT_FOUND, winhttp.get()), SystemErrorText(ERROR_FILE_NOT_FOUND));
  // WinHTTP's own codes: the module's text where it carries one (Windows),
  // otherwise the code (Wine's winhttp.dll has no message table).
  const std::string text = SystemErrorText(12029 /* ERROR_WINHTTP_CANNOT_CONNECT */, winhttp.get());
  EXPECT_EQ(HasSystemErrorText(12029, winhttp.get()), text != "System error 12029") << text;
  EXPECT_FALSE(text.empty());
}

TEST(SystemErrorText, ThrowHelpersPutTheContextFirst) {
  try {
    SetLastError(ERROR_FILE_NOT_FOUND);
    ThrowLastError("CreateFileW");
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "CreateFileW: " + SystemErrorText(ERROR_FILE_NOT_FOUND));
  }
  try {
    ThrowSystemError(ERROR_ACCESS_DENIED);
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), SystemErrorText(ERROR_ACCESS_DENIED));
  }
  EXPECT_NO_THROW(ThrowIfFailed(S_OK));
  EXPECT_NO_THROW(ThrowIfFailed(S_FALSE));  // a success code
  EXPECT_THROW(ThrowIfFailed(E_OUTOFMEMORY, "SysAllocString"), Error);
}

TEST(Bstr, Utf8RoundTrip) {
  for (const char* text : {"", "about:blank", "http://127.0.0.1/公告/活动.html"}) {
    const UniqueBstr b = MakeBstr(text);
    ASSERT_TRUE(b) << "even the empty text is a BSTR";
    EXPECT_EQ(Utf8FromBstr(b.get()), text);
  }
  EXPECT_EQ(Utf8FromBstr(nullptr), "");
}

TEST(ComInit, UndoesOnlyWhatSucceeded) {
  // A thread that entered one apartment cannot enter the other; the failed
  // initialisation must not uninitialise the first.
  std::thread([] {
    ComInit mta(ComInit::kMultiThreaded);
    ASSERT_EQ(mta.result(), S_OK);
    {
      ComInit sta;
      EXPECT_EQ(sta.result(), RPC_E_CHANGED_MODE);
      ComInit ole(ComInit::kOle);
      EXPECT_TRUE(FAILED(ole.result()));
    }
    ComInit again(ComInit::kMultiThreaded);
    EXPECT_EQ(again.result(), S_FALSE) << "still initialised";
  }).join();
}

}  // namespace
}  // namespace lk
