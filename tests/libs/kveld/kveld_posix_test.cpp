// A renderer blocked in opening its picture file could not be ended by Escape: a named pipe or a
// device in the file's place is refused at once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/libs/support/lib_test_support.h"

namespace pellarin::testing {
namespace {

class KveldPosixTest : public LibTestFolder {};

TEST_F(KveldPosixTest, PipesAndDevicesAreRefusedWithoutWaiting) {
  const std::string fifo = path("Pellarin.dat").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& file : {fifo, std::string("/dev/zero")}) {
    KveldReader reader;
    DecoderProperties* record = reader.open(file);
    auto read = std::async(std::launch::async,
                           [record] { return kveldRead(record, KVELD_MODE_PARAMETERS); });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      // A writer end lets a blocked open return, so the test can end.
      const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
      ADD_FAILURE() << "kveldRead is waiting on " << file;
      read.wait();
      ::close(writer);
    }
    EXPECT_EQ(read.get(), KVELD_ERROR_FILE) << file;
    EXPECT_EQ(kveldRelease(record), KVELD_OK);
  }
}

}  // namespace
}  // namespace pellarin::testing
