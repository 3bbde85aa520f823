// kVeld never waits on its file: a named pipe in the picture file's place is refused at once
// (reading a pipe whose other end writes nothing would wait for ever).
#include <windows.h>

#include <chrono>
#include <future>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {
namespace {

TEST(KveldWin32Test, ANamedPipeIsRefusedWithoutWaiting) {
  const std::string pipe =
      "\\\\.\\pipe\\pellarin-kveld-test-" + std::to_string(::GetCurrentProcessId());
  const HANDLE server = ::CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  KveldReader reader;
  DecoderProperties* record = reader.open(pipe);
  auto read =
      std::async(std::launch::async, [record] { return kveldRead(record, KVELD_MODE_PARAMETERS); });
  if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "kveldRead is waiting on its file";
    ::DisconnectNamedPipe(server);  // ends a read that is waiting
    read.wait();
  }
  EXPECT_EQ(read.get(), KVELD_ERROR_FILE);
  EXPECT_EQ(kveldRelease(record), KVELD_OK);
  ::CloseHandle(server);
}

}  // namespace
}  // namespace pellarin::testing
