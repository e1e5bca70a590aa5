// scripts/run without a display: it builds into a fresh folder, starts the
// local coupon server and the manager on a private Xvfb display, and prints
// the path of a screenshot of the main window on stdout (and nothing else).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QSet>

#include <array>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/wait.h>

namespace {

struct TRun {
    int ExitCode = -1;
    std::string Out;
};

// Runs `command` through the shell and collects its stdout.
TRun RunCommand(const std::string& command) {
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.Out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

struct TRunCase {
    const char* Name;
    const char* Options;
    // The first run starts from an empty build folder: nothing left from an
    // earlier run may make it pass. The next one reuses what it built.
    bool Fresh;
};

// Test listings name the case, not its bytes.
void PrintTo(const TRunCase& c, std::ostream* os) {
    *os << c.Name;
}

class RunScript : public testing::TestWithParam<TRunCase> {};

TEST_P(RunScript, WithoutDisplayPrintsTheScreenshotOfTheWindow) {
    const std::string options = GetParam().Options;
    if (GetParam().Fresh)
        std::filesystem::remove_all(QUILLORY_FRESH_BUILD_DIR);
    const TRun run = RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY QUILLORY_BUILD_DIR=" + Quoted(QUILLORY_FRESH_BUILD_DIR) +
        " " + Quoted(std::string(QUILLORY_SOURCE_DIR) + "/scripts/run") + " " + options +
        " </dev/null");
    ASSERT_EQ(run.ExitCode, 0) << "stdout: " << run.Out;
    ASSERT_FALSE(run.Out.empty());
    ASSERT_EQ(run.Out.back(), '\n');
    const std::string path = run.Out.substr(0, run.Out.size() - 1);
    ASSERT_EQ(path.find('\n'), std::string::npos) << "stdout holds more than the path: " << run.Out;
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;

    int argc = 1;
    char name[] = "scripts_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const QImage shot(QString::fromStdString(path));
    ASSERT_FALSE(shot.isNull()) << path;
    // The main window with its buttons, list and links, not an empty screen
    // or a sliver of one.
    EXPECT_GE(shot.width(), 700);
    EXPECT_GE(shot.height(), 400);
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20) << "the screenshot is nearly uniform: " << path;
}

INSTANTIATE_TEST_SUITE_P(Modes, RunScript,
                         testing::Values(TRunCase{"Plain", "", true},
                                         TRunCase{"Branded", "--branding", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
