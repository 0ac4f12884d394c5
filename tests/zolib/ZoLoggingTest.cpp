// The logger: configuration from the registry, the log file's lines, rotation and encoding,
// the event log's text, and that nothing a caller logs makes it fail or wait without end.
//
// On Linux the events and the debugger output are read back from the stand-in's files; on
// Windows they go to the system and those checks are skipped.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "FreshRegistry.h"
#include "ScopedTempFolder.h"
#include "ScopedVariable.h"
#include "ZoEventMessageModule.h"
#include "ZoFileLog.h"
#include "ZoFileUtilities.h"
#include "ZoFrame.h"
#include "ZoLogging.h"
#include "ZoRegistry.h"
#include "ZoTestSupport.h"
#include "ZoTime.h"

ZO_SOURCE_FILE(".\\ZoLoggingTest")

namespace {

namespace fs = std::filesystem;

constexpr OLECHAR kProductName[] = OLESTR("Tavrin Lumo Platform");
constexpr OLECHAR kProductVersion[] = OLESTR("2.2.72");
constexpr OLECHAR kConfigKey[] = OLESTR("HKEY_CURRENT_USER\\Software\\Tavrin\\Logging\\Tavrin Lumo Platform");

std::string Narrow(OleStringView text)
{
    std::string narrow;
    for (const OLECHAR c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

OleString Ascii(const std::string& text)
{
    return OleString(text.begin(), text.end());
}

// A log file's text: its UTF-16 mark checked and dropped.
OleString LogText(const fs::path& path)
{
    const std::string bytes = FileBytes(path);
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || bytes.size() % 2 != 0)
        return OLESTR("<no UTF-16 file with its mark>");
    OleString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

std::vector<OleString> LinesOf(const OleString& text)
{
    std::vector<OleString> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(OLESTR("\r\n"), start)) != OleString::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(OLESTR("<unterminated>") + text.substr(start));
    return lines;
}

// The stand-in's records: one line each, fields separated by tabs, escapes undone.
std::vector<std::vector<std::string>> RecordsOf(const std::string& bytes)
{
    std::vector<std::vector<std::string>> records;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields(1);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t') {
                fields.emplace_back();
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                fields.back() += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
            } else {
                fields.back() += line[i];
            }
        }
        records.push_back(fields);
    }
    return records;
}

std::string HeldElsewhereNote(OleStringView path)
{
    return "CZoFileLog: the log file's mutex is held elsewhere, its lines are dropped until it is obtained again: " +
           Narrow(path);
}

// Configures the logger through the registry, for the next message.
class LoggingTest : public ::testing::Test {
protected:
    LoggingTest()
        : m_temp(OLESTR("TEMP"), m_folder.Ole().c_str()),
          m_tmp(OLESTR("TMP"), m_folder.Ole().c_str()),
          m_events(OLESTR("LUMOITEMS_EVENTLOG"), m_folder.Ole("events.txt").c_str()),
          m_debug(OLESTR("LUMOITEMS_DEBUGLOG"), m_folder.Ole("debug.txt").c_str())
    {
        CZoLogging::SetProductInfo(kProductName, kProductVersion);
    }
    ~LoggingTest() override { CZoLogging::Instance().Reinitialize(); }

    void SetNumber(const OLECHAR* name, DWORD value) { CZoRegistry::SetValue(kConfigKey, name, value); }
    void SetText(const OLECHAR* name, const OleString& value) { CZoRegistry::SetValue(kConfigKey, name, value.c_str()); }
    void Reinitialize() { CZoLogging::Instance().Reinitialize(); }

    // The file log at level 5, the event log off, the file in the test folder.
    void LogToFile(const OleString& file, DWORD maxSize = 0x100000)
    {
        SetNumber(OLESTR("EventLogLevel"), 0);
        SetNumber(OLESTR("FileLogLevel"), 5);
        SetText(OLESTR("File"), file);
        SetNumber(OLESTR("FileMaxSize"), maxSize);
        Reinitialize();
    }

    static void Log(int level, const OLECHAR* text) { CZoLogging::Instance().Log({level, false}, OLESTR("%s"), text); }

    std::vector<std::vector<std::string>> Events() const { return RecordsOf(FileBytes(m_folder.Path("events.txt"))); }
    std::vector<std::vector<std::string>> DebugOutput() const
    {
        return RecordsOf(FileBytes(m_folder.Path("debug.txt")));
    }

    // Where the debugger output can be read back, it holds one record: the note that the
    // log file's mutex is held elsewhere.
    void ExpectOnlyTheHeldElsewhereNote(OleStringView path) const
    {
        if (!StandInFilesReadable())
            return;
        const auto output = DebugOutput();
        ASSERT_EQ(1u, output.size());
        EXPECT_EQ(HeldElsewhereNote(path), output[0][0]);
    }

    static bool StandInFilesReadable()
    {
#ifdef _WIN32
        return false;
#else
        return true;
#endif
    }

    ScopedFreshRegistry m_registry;
    ScopedTempFolder m_folder;
    ScopedVariable m_temp;
    ScopedVariable m_tmp;
    ScopedVariable m_events;
    ScopedVariable m_debug;
};

// ---------------------------------------------------------------------------------------------
// The front

TEST_F(LoggingTest, FormatsAndPassesOnWhatSinksMayTake)
{
    Reinitialize();
    LogRecorder log;
    CZoLogging& logging = CZoLogging::Instance();
    logging.Log({ZO_LOG_ERROR, false}, OLESTR("error %d in %s\n"), 7, OLESTR("f"));
    logging.Log({ZO_LOG_WARNING, true}, OLESTR("forced"));
    logging.Log({ZO_LOG_DEBUG, false}, OLESTR("debug %d"), 1);
    logging.Log({ZO_LOG_STACKTRACE, true}, OLESTR("trace"));
    const auto lines = log.Lines();
    ASSERT_EQ(2u, lines.size()) << "no sink takes the debugging levels";
    EXPECT_EQ(ZO_LOG_ERROR, lines[0].level);
    EXPECT_EQ(OleString(OLESTR("error 7 in f\n")), lines[0].text);
    EXPECT_FALSE(lines[0].force);
    EXPECT_EQ(OleString(OLESTR("forced")), lines[1].text);
    EXPECT_TRUE(lines[1].force);
}

TEST_F(LoggingTest, DebugMessagesAreNotFormattedUnlessASinkTakesThem)
{
    SetNumber(OLESTR("EventLogLevel"), 3);
    SetNumber(OLESTR("FileLogLevel"), 3);
    SetText(OLESTR("File"), m_folder.Ole("x.log"));
    Reinitialize();
    // Formatting this would read through a bad pointer.
    const auto* unreadable = reinterpret_cast<const OLECHAR*>(static_cast<uintptr_t>(16));
    {
        LogRecorder log;
        CZoLogging::Instance().Log({ZO_LOG_DEBUG, false}, OLESTR("%s"), unreadable);
        CZoLogging::Instance().Log({ZO_LOG_STACKTRACE, false}, OLESTR("%s"), unreadable);
        EXPECT_TRUE(log.Lines().empty());
    }
    EXPECT_FALSE(fs::exists(m_folder.Path("x.log")));

    SetNumber(OLESTR("FileLogLevel"), 4);
    Reinitialize();
    Log(ZO_LOG_DEBUG, OLESTR("now taken"));
    const auto lines = LinesOf(LogText(m_folder.Path("x.log")));
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(OleString::npos, lines[0].find(OLESTR("[DEBUG     ] TID:")));
}

class ThrowingObserver : public CZoLogTestObserver {
public:
    void OnLog(int, const OleString&, bool) override { throw std::runtime_error("observer failed"); }
};

TEST_F(LoggingTest, NeverThrows)
{
    ThrowingObserver observer;
    CZoLogging::Instance().SetTestObserver(&observer);
    EXPECT_NO_THROW(CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("x")));
    EXPECT_NO_THROW(CZoLogging::Instance().LogInternal(ZO_LOG_ERROR, OLESTR("y"), false));
    CZoLogging::Instance().SetTestObserver(nullptr);
    EXPECT_NO_THROW(CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, nullptr));
    if (StandInFilesReadable()) {
        const auto output = DebugOutput();
        ASSERT_FALSE(output.empty());
        EXPECT_EQ("Access violation in logging function CZoLogging::LogInternal", output[0][0]);
    }
}

// A message logged from inside logging goes to the debugger output, not round again.
class NestingObserver : public CZoLogTestObserver {
public:
    void OnLog(int, const OleString& text, bool) override
    {
        seen.push_back(text);
        CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("nested after %s"), text.c_str());
    }
    std::vector<OleString> seen;
};

TEST_F(LoggingTest, MessageFromInsideLoggingGoesToTheDebuggerOutput)
{
    Reinitialize();
    NestingObserver observer;
    CZoLogging::Instance().SetTestObserver(&observer);
    Log(ZO_LOG_ERROR, OLESTR("outer"));
    CZoLogging::Instance().SetTestObserver(nullptr);
    EXPECT_EQ(std::vector<OleString>{OLESTR("outer")}, observer.seen);
    if (StandInFilesReadable()) {
        const auto output = DebugOutput();
        ASSERT_EQ(1u, output.size());
        EXPECT_EQ("nested after outer", output[0][0]);
    }
}

// ---------------------------------------------------------------------------------------------
// The log file

TEST_F(LoggingTest, WithoutConfigurationErrorsAndWarningsGoToTheEventLogOnly)
{
    Reinitialize();
    Log(ZO_LOG_ERROR, OLESTR("an error"));
    Log(ZO_LOG_WARNING, OLESTR("a warning"));
    Log(ZO_LOG_INFO, OLESTR("some information"));
    // No log file; on Windows the event log's message module is written to the temporary folder.
    for (const auto& entry : fs::directory_iterator(m_folder.Path())) {
        const auto name = entry.path().filename();
        EXPECT_TRUE(name == "events.txt" || name == "debug.txt" || name == "ZoEventMessages.dll") << entry.path();
    }
    if (StandInFilesReadable()) {
        const auto events = Events();
        ASSERT_EQ(2u, events.size());
        EXPECT_EQ("error", events[0][1]);
        EXPECT_EQ("warning", events[1][1]);
        EXPECT_TRUE(DebugOutput().empty());
    }
}

TEST_F(LoggingTest, WarningIsOneLineWithTimeLevelAndThreadId)
{
    LogToFile(OLESTR("%TEMP%\\x.log"));
    const OleString before = CZoTime::FormatDate(CZoTime::GetLocalTimeAsOleDate(), 0);
    Log(ZO_LOG_WARNING, OLESTR("disk full"));
    const OleString after = CZoTime::FormatDate(CZoTime::GetLocalTimeAsOleDate(), 0);

    const auto lines = LinesOf(LogText(m_folder.Path("x.log")));
    ASSERT_EQ(1u, lines.size());
    const OleString rest =
        OLESTR(" [WARNING   ] TID:") + Decimal(static_cast<LONG>(GetCurrentThreadId())) + OLESTR(" : disk full");
    EXPECT_TRUE(lines[0] == before + rest || lines[0] == after + rest) << Narrow(lines[0]);
}

TEST_F(LoggingTest, LevelNamesArePaddedToTenColumns)
{
    LogToFile(m_folder.Ole("levels.log"));
    const char* const names[] = {"[NONE      ]", "[ERROR     ]", "[WARNING   ]",
                                 "[INFO      ]", "[DEBUG     ]", "[STACKTRACE]"};
    for (int level = ZO_LOG_NONE; level <= ZO_LOG_STACKTRACE; ++level)
        Log(level, OLESTR("x"));
    const auto lines = LinesOf(LogText(m_folder.Path("levels.log")));
    ASSERT_EQ(6u, lines.size());
    for (int level = ZO_LOG_NONE; level <= ZO_LOG_STACKTRACE; ++level)
        EXPECT_NE(OleString::npos, lines[level].find(Ascii(names[level]) + OLESTR(" TID:"))) << names[level];
}

TEST_F(LoggingTest, EveryLineEndBecomesCrLf)
{
    LogToFile(m_folder.Ole("x.log"));
    Log(ZO_LOG_ERROR, OLESTR("first\nsecond\r\nthird\rfourth"));
    const OleString text = LogText(m_folder.Path("x.log"));
    const size_t start = text.find(OLESTR(" : "));
    ASSERT_NE(OleString::npos, start);
    EXPECT_EQ(OleString(OLESTR(" : first\r\nsecond\r\nthird\r\nfourth\r\n")), text.substr(start));
}

TEST_F(LoggingTest, FileOverTheLimitMovesToItsOldNameFirst)
{
    LogToFile(m_folder.Ole("app.log"), 40);
    WriteFileBytes(m_folder.Path("app_old.log"), "an older old file");
    Log(ZO_LOG_ERROR, OLESTR("one"));
    const OleString first = LogText(m_folder.Path("app.log"));
    ASSERT_EQ(1u, LinesOf(first).size()) << "a new file is not moved";
    Log(ZO_LOG_ERROR, OLESTR("two"));
    EXPECT_EQ(first, LogText(m_folder.Path("app_old.log"))) << "the older old file is replaced";
    const auto lines = LinesOf(LogText(m_folder.Path("app.log")));
    ASSERT_EQ(1u, lines.size()) << "the line starts a new file, with its mark";
    EXPECT_NE(OleString::npos, lines[0].find(OLESTR(" : two")));
}

TEST_F(LoggingTest, FileJustAtTheLimitIsNotMoved)
{
    LogToFile(m_folder.Ole("app.log"), 0x100000);
    Log(ZO_LOG_ERROR, OLESTR("one"));
    const auto size = static_cast<DWORD>(fs::file_size(m_folder.Path("app.log")));
    SetNumber(OLESTR("FileMaxSize"), size);
    Reinitialize();
    Log(ZO_LOG_ERROR, OLESTR("two"));
    EXPECT_EQ(2u, LinesOf(LogText(m_folder.Path("app.log"))).size());
    EXPECT_FALSE(fs::exists(m_folder.Path("app_old.log")));
}

// "_old" goes before the extension, which is what follows the name's last dot after its
// first character: a name that begins with a dot keeps it, so such logs in one folder keep
// their own old files.
TEST(FileLogOldName, GoesBeforeTheExtension)
{
    const std::pair<const OLECHAR*, const OLECHAR*> cases[] = {
        {OLESTR("app.log"), OLESTR("app_old.log")},
        {OLESTR("C:\\logs\\b.tar.gz"), OLESTR("C:\\logs\\b.tar_old.gz")},
        {OLESTR("plain"), OLESTR("plain_old")},
        {OLESTR(".first"), OLESTR(".first_old")},
        {OLESTR("/var/log/.first"), OLESTR("/var/log/.first_old")},
        {OLESTR(".first.log"), OLESTR(".first_old.log")},
        {OLESTR("dir.d/name"), OLESTR("dir.d/name_old")},
        {OLESTR("dir.d\\.name"), OLESTR("dir.d\\.name_old")},
    };
    for (const auto& [path, old] : cases)
        EXPECT_EQ(CZoFileLog::OldFileName(path), OleString(old)) << Narrow(path);
}

TEST_F(LoggingTest, PosixPathsAndMissingFoldersWork)
{
    const OleString file = m_folder.Ole("new/folder/app.log");
    LogToFile(file);
    Log(ZO_LOG_ERROR, OLESTR("x"));
    EXPECT_EQ(1u, LinesOf(LogText(m_folder.Path("new/folder/app.log"))).size());
}

TEST_F(LoggingTest, UnusableLogFilesNeitherRaiseNorStopLogging)
{
    fs::create_directory(m_folder.Path("folder"));
    WriteFileBytes(m_folder.Path("file"), "x");
    const OleString unusable[] = {m_folder.Ole("folder"), m_folder.Ole("file/below.log"), OLESTR("no-folder.log")};
    for (const OleString& path : unusable) {
        LogToFile(path);
        EXPECT_NO_THROW(Log(ZO_LOG_ERROR, OLESTR("lost")));
        if (StandInFilesReadable()) {
            const auto output = DebugOutput();
            ASSERT_FALSE(output.empty()) << Narrow(path);
            EXPECT_EQ(0u, output.back()[0].find("Error in logging function CZoFileLog::Log : \n")) << Narrow(path);
        }
    }
    LogToFile(m_folder.Ole("good.log"));
    Log(ZO_LOG_ERROR, OLESTR("kept"));
    EXPECT_EQ(1u, LinesOf(LogText(m_folder.Path("good.log"))).size());
}

TEST_F(LoggingTest, ValuesOfTheWrongTypeGiveTheDefaults)
{
    SetText(OLESTR("EventLogLevel"), OLESTR("5"));
    SetText(OLESTR("FileLogLevel"), OLESTR("5"));
    SetNumber(OLESTR("File"), 1);
    Reinitialize();
    LogRecorder log;
    CZoLogging::Instance().Log({ZO_LOG_DEBUG, false}, OLESTR("dropped"));
    Log(ZO_LOG_WARNING, OLESTR("taken"));
    EXPECT_EQ(1u, log.Lines().size()) << "thresholds at their defaults";
    if (StandInFilesReadable()) {
        EXPECT_EQ(1u, Events().size());
    }
}

// A frame's destructor form writes its two lines to the configured file.
class FailingRelease {
public:
    ~FailingRelease()
    {
        ZO_DESTRUCTOR(OLESTR("FailingRelease::~FailingRelease"))
        {
            ZO_THROW(OLESTR("release failed"), ZO_ERR_UNDEFINED);
        }
        ZO_DESTRUCTOR_END
    }
};

TEST_F(LoggingTest, ErrorsInDestructorsReachTheFile)
{
    LogToFile(m_folder.Ole("x.log"));
    { FailingRelease release; }
    const OleString text = LogText(m_folder.Path("x.log"));
    // Each of the frame's two texts ends with its own line end, so an empty line follows it.
    const OleString first = OLESTR(" [WARNING   ] TID:") + Decimal(static_cast<LONG>(GetCurrentThreadId())) +
                            OLESTR(" : Exception caught in FailingRelease::~FailingRelease (.\\ZoLoggingTest : ");
    EXPECT_NE(OleString::npos, text.find(first)) << Narrow(text);
    EXPECT_NE(OleString::npos, text.find(OLESTR(")\r\n\r\n"))) << Narrow(text);
    EXPECT_NE(OleString::npos, text.find(OLESTR(" : release failed\r\n\terrorcode:\t1006\r\n"))) << Narrow(text);
}

// ---------------------------------------------------------------------------------------------
// The event log

TEST(ZoEventText, NamesProductVersionAndLibrary)
{
    CZoLogConfig config(kProductName, kProductVersion);
    EXPECT_EQ(OleString(OLESTR("Tavrin Lumo Platform 2.2.72 (ZoLib 0.8.205)\n\ndisk full")),
              CZoEventLog::EventText(config, OLESTR("disk full")));
}

TEST_F(LoggingTest, EventCarriesItsTypeIdAndText)
{
    if (!StandInFilesReadable())
        GTEST_SKIP() << "the system's event log";
    SetNumber(OLESTR("EventLogLevel"), 3);
    Reinitialize();
    Log(ZO_LOG_ERROR, OLESTR("disk full"));
    Log(ZO_LOG_WARNING, OLESTR("w"));
    Log(ZO_LOG_INFO, OLESTR("i"));
    Log(ZO_LOG_DEBUG, OLESTR("d"));
    const auto events = Events();
    const std::vector<std::vector<std::string>> expected = {
        {"Tavrin Lumo Platform", "error", "0", "1", "Tavrin Lumo Platform 2.2.72 (ZoLib 0.8.205)\n\ndisk full"},
        {"Tavrin Lumo Platform", "warning", "0", "1", "Tavrin Lumo Platform 2.2.72 (ZoLib 0.8.205)\n\nw"},
        {"Tavrin Lumo Platform", "information", "0", "1", "Tavrin Lumo Platform 2.2.72 (ZoLib 0.8.205)\n\ni"},
    };
    EXPECT_EQ(expected, events);
}

TEST_F(LoggingTest, ForcedMessageReachesTheEventLogWhateverItsLevel)
{
    if (!StandInFilesReadable())
        GTEST_SKIP() << "the system's event log";
    SetNumber(OLESTR("EventLogLevel"), 0);
    Reinitialize();
    CZoLogging::Instance().Log({ZO_LOG_INFO, true}, OLESTR("forced"));
    CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("not forced"));
    const auto events = Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("information", events[0][1]);
}

TEST_F(LoggingTest, EventSourceIsRegisteredWithItsMessageModule)
{
    Reinitialize();
    Log(ZO_LOG_ERROR, OLESTR("x"));
    const OLECHAR key[] = OLESTR("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\"
                                 "Tavrin Lumo Platform");
    const OleString module = CZoRegistry::GetStringValue(key, OLESTR("EventMessageFile"), OLESTR("<none>"), false);
    if (module == OLESTR("<none>"))
        GTEST_SKIP() << "no right to write the machine's keys";
    EXPECT_EQ(CZoFileUtilities::GetTempDirectory() + OLESTR("ZoEventMessages.dll"), module);
    EXPECT_EQ(7u, CZoRegistry::GetDWORDValue(key, OLESTR("TypesSupported"), 0, true, false));
#ifdef _WIN32
    const auto& image = ZoEventMessageModule();
    EXPECT_EQ(std::string(image.begin(), image.end()), FileBytes(fs::path(module)));
#else
    EXPECT_FALSE(fs::exists(m_folder.Path("ZoEventMessages.dll"))) << "the stand-in needs no module";
#endif
}

TEST_F(LoggingTest, FailedReportGoesToTheDebuggerOutput)
{
    if (!StandInFilesReadable())
        GTEST_SKIP() << "the system's event log";
    ScopedVariable unwritable(OLESTR("LUMOITEMS_EVENTLOG"), m_folder.Ole().c_str());
    Reinitialize();
    Log(ZO_LOG_ERROR, OLESTR("x"));
    const auto output = DebugOutput();
    ASSERT_EQ(1u, output.size());
    EXPECT_EQ(0u, output[0][0].find("ReportEvent failed, error: ")) << output[0][0];
}

TEST_F(LoggingTest, ProductInformationNamesTheSourceAndTheConfiguration)
{
    if (!StandInFilesReadable())
        GTEST_SKIP() << "the system's event log";
    CZoRegistry::SetValue(OLESTR("HKEY_CURRENT_USER\\Software\\Tavrin\\Logging\\Other Product"), OLESTR("EventLogLevel"), 3);
    CZoLogging::SetProductInfo(OLESTR("Other Product"), OLESTR("9"));
    Log(ZO_LOG_INFO, OLESTR("x"));
    CZoLogging::SetProductInfo(kProductName, kProductVersion);
    Log(ZO_LOG_INFO, OLESTR("not taken at the default level 2"));
    const auto events = Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("Other Product", events[0][0]);
    EXPECT_EQ("Other Product 9 (ZoLib 0.8.205)\n\nx", events[0][4]);
}

LUMO_TEST_CHILD(LogWithoutProductInformation)
{
    CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("from the child"));
    return 0;
}

TEST_F(LoggingTest, ProductInformationBeforeTheModuleSetsIt)
{
    if (!StandInFilesReadable())
        GTEST_SKIP() << "the system's event log";
    ASSERT_EQ(0, RunTestChild("LogWithoutProductInformation"));
    const auto events = Events();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("Tavrin software", events[0][0]);
    EXPECT_EQ("Tavrin software  (ZoLib 0.8.205)\n\nfrom the child", events[0][4]);
}

// ---------------------------------------------------------------------------------------------
// Concurrency and the file's mutex

TEST_F(LoggingTest, ConcurrentFirstMessagesFromManyThreads)
{
    LogToFile(m_folder.Ole("x.log"));
    constexpr int kThreads = 8;
    constexpr int kLines = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("thread %d line %d"), t, i);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(static_cast<size_t>(kThreads * kLines), LinesOf(LogText(m_folder.Path("x.log"))).size());
}

TEST_F(LoggingTest, FileLogThreadDropsTheLineWhileTheFileStaysLocked)
{
    CZoLogConfig config(kProductName, kProductVersion);
    config.fileLogLevel = ZO_LOG_STACKTRACE;
    config.logFilePath = m_folder.Ole("locked.log");
    // Retried at every line.
    CZoFileLog sink(20, 0);
    sink.SetConfig(config);
    sink.Init();

    CZoMutexLock holder;
    holder.Init(config.logFilePath, true);
    ASSERT_TRUE(holder.Lock());
    std::thread([&] { sink.Log(ZO_LOG_ERROR, OLESTR("dropped"), false); }).join();
    EXPECT_FALSE(fs::exists(m_folder.Path("locked.log")));
    ExpectOnlyTheHeldElsewhereNote(config.logFilePath);
    holder.Unlock();
    sink.Log(ZO_LOG_ERROR, OLESTR("written"), false);
    EXPECT_EQ(1u, LinesOf(LogText(m_folder.Path("locked.log"))).size());
}

// Holds the mutex of the log file argv[0] until it can take the mutex of the name argv[1].
LUMO_TEST_CHILD(HoldLogFileMutexUntilReleased)
{
    CZoMutexLock fileLock;
    fileLock.Init(Ascii(argv[0]), true);
    CZoMutexLock release(60000);
    release.Init(Ascii(argv[1]), true);
    if (!fileLock.Lock())
        return 1;
    const bool released = release.Lock();
    fileLock.Unlock();
    if (!released)
        return 2;
    release.Unlock();
    return 0;
}

// Whether some other thread or process holds the log file's mutex, within the time given.
bool FileMutexHeldElsewhereWithin(const OleString& path, ULONGLONG milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do {
        const bool free = std::async(std::launch::async, [&] {
                              CZoMutexLock probe(0);
                              probe.Init(path, true);
                              CZoLockHolder holder(&probe);
                              return holder.IsLocked();
                          }).get();
        if (!free)
            return true;
        Sleep(10);
    } while (GetTickCount64() < deadline);
    return false;
}

TEST_F(LoggingTest, FileLogWaitsOnceWhileAnotherProcessHoldsItsMutex)
{
    constexpr DWORD kWait = 200;
    constexpr ULONGLONG kRetryInterval = 1000;
    CZoLogConfig config(kProductName, kProductVersion);
    config.fileLogLevel = ZO_LOG_STACKTRACE;
    config.logFilePath = m_folder.Ole("held.log");
    CZoFileLog sink(kWait, kRetryInterval);
    sink.SetConfig(config);
    sink.Init();

    const OleString releaseName = m_folder.Ole("release");
    // Made before the release lock, so that an early end releases the child before waiting.
    std::future<int> child;
    CZoMutexLock release;
    release.Init(releaseName, true);
    ASSERT_TRUE(release.Lock());
    child = std::async(std::launch::async, [&] {
        return RunTestChild("HoldLogFileMutexUntilReleased", {Narrow(config.logFilePath), Narrow(releaseName)});
    });
    ASSERT_TRUE(FileMutexHeldElsewhereWithin(config.logFilePath, 30000));

    const ULONGLONG start = GetTickCount64();
    for (int i = 0; i < 20; ++i)
        sink.Log(ZO_LOG_ERROR, OLESTR("dropped"), false);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, kWait / 2) << "the first line waits";
    EXPECT_LT(elapsed, 3 * kWait) << "the others do not";
    EXPECT_FALSE(fs::exists(m_folder.Path("held.log")));
    ExpectOnlyTheHeldElsewhereNote(config.logFilePath);

    release.Unlock();
    EXPECT_EQ(0, child.get());
    // A little more than the interval: the system's tick may be coarser than a millisecond.
    Sleep(static_cast<DWORD>(kRetryInterval) + 100);
    sink.Log(ZO_LOG_ERROR, OLESTR("the retry"), false);
    sink.Log(ZO_LOG_ERROR, OLESTR("logging as before"), false);
    EXPECT_EQ(2u, LinesOf(LogText(m_folder.Path("held.log"))).size());

    // Held again: a wait times out again, with a note again.
    CZoMutexLock holder;
    holder.Init(config.logFilePath, true);
    ASSERT_TRUE(holder.Lock());
    std::thread([&] { sink.Log(ZO_LOG_ERROR, OLESTR("dropped"), false); }).join();
    holder.Unlock();
    EXPECT_EQ(2u, LinesOf(LogText(m_folder.Path("held.log"))).size());
    if (StandInFilesReadable()) {
        EXPECT_EQ(2u, DebugOutput().size());
    }
}

LUMO_TEST_CHILD(LogManyLines)
{
    CZoLogging::SetProductInfo(kProductName, kProductVersion);
    const int child = std::stoi(argv[0]);
    const int lines = std::stoi(argv[1]);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([=] {
            for (int i = 0; i < lines; ++i)
                CZoLogging::Instance().Log({ZO_LOG_ERROR, false}, OLESTR("child %d thread %d line %d"), child, t, i);
        });
    for (auto& thread : threads)
        thread.join();
    return 0;
}

TEST_F(LoggingTest, ConcurrentProcessesLoseAndTearNoLine)
{
    LogToFile(m_folder.Ole("shared.log"), 0x7FFFFFFF);
    constexpr int kChildren = 4;
    constexpr int kLines = 60;
    std::vector<std::thread> parents;
    std::vector<int> results(kChildren, -1);
    for (int c = 0; c < kChildren; ++c)
        parents.emplace_back([&, c] { results[c] = RunTestChild("LogManyLines", {std::to_string(c), std::to_string(kLines)}); });
    for (auto& parent : parents)
        parent.join();
    EXPECT_EQ(std::vector<int>(kChildren, 0), results);

    const auto lines = LinesOf(LogText(m_folder.Path("shared.log")));
    std::set<std::string> seen;
    for (const OleString& line : lines) {
        const size_t text = line.find(OLESTR("] TID:"));
        const size_t start = line.find(OLESTR(" : child "));
        ASSERT_TRUE(text != OleString::npos && start != OleString::npos && line.find(OLESTR("[ERROR     ]")) != OleString::npos)
            << Narrow(line);
        EXPECT_TRUE(seen.insert(Narrow(line.substr(start + 3))).second) << "twice: " << Narrow(line);
    }
    for (int c = 0; c < kChildren; ++c)
        for (int t = 0; t < 2; ++t)
            for (int i = 0; i < kLines; ++i) {
                const std::string expected =
                    "child " + std::to_string(c) + " thread " + std::to_string(t) + " line " + std::to_string(i);
                EXPECT_EQ(1u, seen.count(expected)) << expected;
            }
}

}  // namespace
