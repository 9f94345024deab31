// Two processes appending to the history at once: every record stays one
// whole line, none mixed into another.

#include <gtest/gtest.h>

#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system.h"
#include "support/json_text.h"
#include "support/json_value.h"
#include "tests/support/temp_dir.h"

namespace tarnwick {
namespace {

TEST(HistoryAppend, TwoProcessesAppendingAtOnceLeaveEveryLineWhole) {
    constexpr int kWriters = 2;
    constexpr int kRecords = 200;
    test::TempDir dir;
    const std::string path = dir.File("state/tarnwick/history.jsonl");
    std::vector<pid_t> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = fork();
        if (pid == 0) {
            bool ok = true;
            for (int n = 0; n < kRecords; ++n) {
                // As long as a real record, so that a torn write would show.
                const std::string line = JsonObject()
                                             .AddNumber("writer", writer)
                                             .AddNumber("n", n)
                                             .Add("filler", std::string(600, static_cast<char>('a' + writer)))
                                             .Text() +
                                         "\n";
                ok = os::RealSystem().history.Append(path, line) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        writers.push_back(pid);
    }
    for (const pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const std::optional<std::string> text = os::RealSystem().files.ReadText(path, 1u << 20);
    ASSERT_TRUE(text.has_value());
    std::set<std::pair<int, int>> seen;
    std::size_t lines = 0;
    for (std::size_t start = 0, end; start < text->size(); start = end + 1) {
        end = text->find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line is cut";
        ++lines;
        const std::optional<JsonValue> record = JsonValue::Parse(text->substr(start, end - start));
        ASSERT_TRUE(record.has_value()) << "line " << lines << " is not whole";
        const int writer = static_cast<int>((*record)["writer"].AsNumber());
        EXPECT_EQ((*record)["filler"].AsString(), std::string(600, static_cast<char>('a' + writer)));
        seen.insert({writer, static_cast<int>((*record)["n"].AsNumber())});
    }
    EXPECT_EQ(lines, std::size_t{kWriters * kRecords});
    EXPECT_EQ(seen.size(), std::size_t{kWriters * kRecords});
}

}  // namespace
}  // namespace tarnwick
