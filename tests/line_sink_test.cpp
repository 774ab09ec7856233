// The file sink hands its full buffers to a writer thread and refills
// written ones: whatever the sizes of the lines, the file must hold every
// byte once, in order, and a failed write must leave the target alone.

#include <gtest/gtest.h>

#include <string>

#include "engine/line_sink.h"
#include "platform/file_system.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

// Lines of many lengths, some far over the sink's buffer, so that full
// buffers, giant lines written on their own and refilled buffers all mix.
std::string AppendMixedLines(LineSink& sink) {
  std::string expected;
  for (int i = 0; i < 40000; ++i) {
    std::string line(static_cast<std::size_t>((i * 7919) % 300), static_cast<char>('a' + i % 26));
    if (i % 9000 == 4500) line.assign((std::size_t{3} << 20) + static_cast<std::size_t>(i), 'G');
    line += std::to_string(i);
    sink.Append(line);
    expected += line + "\r\n";
  }
  return expected;
}

TEST(FileLineSink, WritesEveryByteOnceInOrderAcrossManyBuffers) {
  TempDir dir;
  const std::string target = dir.File("out.scp");
  std::string expected;
  {
    FileLineSink sink(target);
    expected = AppendMixedLines(sink);
    EXPECT_EQ(sink.ByteCount(), expected.size());
    EXPECT_EQ(sink.LineCount(), 40000u);
    sink.Finish(false);
    sink.File().Commit(false);
  }
  EXPECT_EQ(ReadFile(target), expected);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.scp"});
}

TEST(FileLineSink, ASinkGivenUpOnLeavesNoFileBehind) {
  TempDir dir;
  {
    FileLineSink sink(dir.File("out.scp"));
    AppendMixedLines(sink);
  }
  EXPECT_TRUE(dir.Names().empty());
}

}  // namespace
}  // namespace orv::testing
