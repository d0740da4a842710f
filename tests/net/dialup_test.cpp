// The dial-up built-ins against a stand-in nmcli placed first on PATH, and
// without any nmcli at all.
#include <gtest/gtest.h>

#include "support/process.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <sstream>

#include "platform/route_table.h"
#include "platform/texts.h"
#include "support/files.h"
#include "support/test_host.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& haystack, const std::string& needle)
{
    return haystack.find(needle) != std::string::npos;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

// Connections of the stand-in, as JSON objects.
std::string Connection(const std::string& name, const std::string& uuid, const std::string& type,
                       bool active, const std::string& up = "{}", const std::string& device = "ttyUSB0")
{
    return "{\"name\": \"" + name + "\", \"uuid\": \"" + uuid + "\", \"type\": \"" + type +
           "\", \"device\": \"" + device + "\", \"active\": " + (active ? "true" : "false") +
           ", \"up\": " + up + "}";
}

class DialUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = MakeTempDir("skimlark-dial-test");
        fs::create_directory(dir + "bin");
        fs::copy_file(std::string(SKIMLARK_FIXTURES) + "/nmcli/nmcli.py", dir + "bin/nmcli");
        fs::permissions(dir + "bin/nmcli", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
        const char* path = std::getenv("PATH");
        env.emplace_back("PATH", dir + "bin:" + (path ? path : "/usr/bin:/bin"));
        env.emplace_back("FAKE_NMCLI_STATE", dir + "state.json");
        env.emplace_back("FAKE_NMCLI_LOG", dir + "log");
        // The secrets file of a dial goes here, where the test can look.
        env.emplace_back("TMPDIR", dir + "tmp");
        fs::create_directory(dir + "tmp");
    }
    void TearDown() override
    {
        // Restored in reverse, so that a variable set twice gets its first value back.
        while (!env.empty())
            env.pop_back();
        fs::remove_all(dir);
    }

    void Connections(const std::vector<std::string>& list)
    {
        std::string json = "{\"connections\": [";
        for (size_t i = 0; i < list.size(); ++i)
            json += (i ? ", " : "") + list[i];
        std::ofstream(dir + "state.json") << json << "]}";
    }

    std::string Log() const { return ReadFile(dir + "log"); }

    RunResult Run(const std::string& script)
    {
        // Once: a dial changes the connections' state.
        TestHost fresh;
        fresh.s = host.s;
        fresh.bothWays = false;
        return RunScript(script, &fresh);
    }

    std::string dir;
    std::list<ScopedEnv> env;
    TestHost host;
};

TEST_F(DialUp, DialReportsItsProgressAndDisconnectHangsUp)
{
    Connections({Connection("Ethernet", "e-1", "802-3-ethernet", true, "{}", "eth0"),
                 Connection("Mobil", "m-1", "gsm", false)});
    host.s.debugLevel = 1;

    RunResult r = Run(
        "print(\"[\", dial(\"Mobil\", \"geheim\"), \"]\")\n"
        "print(\"[\", connected(), \"]\")\n"
        "print(\"[\", disconnect(), \"]\")\n"
        "print(\"[\", disconnect(), \"]\")\n"
        "debug = 0\n");

    EXPECT_EQ(r.errMsg, "");
    const std::vector<std::string> expected = {
        // The run start: the active ethernet connection is no dial-up one.
        W("Keine aktive DFÜ-Verbindung"),
        W("Wähle Mobil..."),
        W("(1) Kanal öffnen..."),
        W("(2) Wähle..."),
        "(3) Verbunden.",
        "Verbunden.",
        "[]",
        W("Aktive DFÜ-Verbindung: Mobil (Gerät=ttyUSB0/gsm)"),
        "[Mobil]",
        "Die Verbindung wird getrennt.",
        "[]",
        W("[Es ist keine Wählverbindung aktiv]"),
    };
    EXPECT_EQ(Joined(r.output), Joined(expected));

    // The password reached nmcli through a file that is gone afterwards.
    std::string log = Log();
    EXPECT_TRUE(Contains(log, "up m-1 gsm.password:geheim in " + dir + "tmp/")) << log;
    EXPECT_TRUE(Contains(log, "down m-1\n")) << log;
    EXPECT_TRUE(fs::is_empty(dir + "tmp"));
}

TEST_F(DialUp, DialWithoutPasswordKeepsTheSavedOne)
{
    Connections({Connection("VPN", "v-1", "vpn", false)});
    RunResult r = Run("print(\"[\", dial(\"VPN\"), \"]\")\n");
    EXPECT_EQ(Joined(r.output), "[]");
    EXPECT_EQ(Log(), "up v-1 (no password)\n");
}

// A dial that nmcli gives up on ends with the notified error, and the half-open
// connection is hung up. A later dial starts afresh and succeeds.
TEST_F(DialUp, FailedDialComesBackAsCodeAndTextAndHangsUp)
{
    struct Case {
        const char* what;
        std::string up;
        std::string result;
    } cases[] = {
        {"refused login",
         R"j({"exit": 4, "stderr": "Error: Connection activation failed: (7) Secrets were required, but not provided."})j",
         "691: Zugriff verweigert: Benutzername oder Kennwort ist ungültig."},
        {"other side ends it", R"j({"exit": 4, "stderr": "Error: Connection activation failed: (1) Unknown error."})j",
         "629: Die Verbindung wurde von der Gegenstelle getrennt."},
        {"no answer in time", R"j({"exit": 3, "stderr": "Error: Timeout expired (90 seconds)"})j",
         "678: Die Gegenstelle antwortet nicht."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Connections({Connection("Modem", "d-1", "ppp", false, c.up), Connection("Mobil", "m-1", "gsm", false)});
        fs::remove(dir + "log");
        host.s.debugLevel = 1;

        RunResult r = Run(
            "print(\"[\", dial(\"Modem\"), \"]\")\n"
            "print(\"[\", dial(\"Mobil\"), \"]\")\n"
            "debug = 0\n");

        std::string out = Joined(r.output);
        std::string code = std::string(c.result, 0, 3);
        EXPECT_TRUE(Contains(out, "\n[" + W(c.result) + "]\n")) << out;
        EXPECT_TRUE(Contains(out, W("Fehler: ") + code + " (")) << out;
        EXPECT_TRUE(Contains(out, "Keine Verbindung: " + code + " (" + W(std::string(c.result, 5)) + ")\n" +
                                      "Die Verbindung wird getrennt.")) << out;
        // The second dial is not ended by the first one's error.
        EXPECT_EQ(r.output.back(), "[]") << out;
        EXPECT_EQ(Log(), "up d-1 (no password)\ndown d-1\nup m-1 (no password)\n");
    }
}

TEST_F(DialUp, UnknownEntryFailsAtOnce)
{
    Connections({Connection("Mobil", "m-1", "gsm", false)});
    host.s.debugLevel = 1;
    RunResult r = Run("print(\"[\", dial(\"Nirgendwo\"), \"]\")\ndebug = 0\n");
    EXPECT_EQ(Joined(r.output),
              Joined({W("Keine aktive DFÜ-Verbindung"), W("Wähle Nirgendwo..."),
                      W("Fehler bei Zugriff auf Wählparameter: 623 (Der Telefonbucheintrag wurde nicht gefunden.)"),
                      W("[623: Der Telefonbucheintrag wurde nicht gefunden.]")}));
    EXPECT_EQ(Log(), "");
}

TEST_F(DialUp, FirstOfTwoActiveDialUpConnectionsIsTheActiveOne)
{
    Connections({Connection("Ethernet", "e-1", "802-3-ethernet", true, "{}", "eth0"),
                 Connection("VPN: B\xc3\xbcro", "v-1", "vpn", true, "{}", "tun0"),
                 Connection("Mobil", "m-1", "gsm", true)});
    host.s.debugLevel = 1;

    RunResult r = Run(
        "debug = 0\n"
        "print(\"[\", connected(), \"]\")\n"
        "print(\"[\", disconnect(), \"]\")\n"
        "print(\"[\", connected(), \"]\")\n");

    // Noted at the run start; the name came through nmcli's escaping.
    ASSERT_FALSE(r.output.empty());
    EXPECT_EQ(r.output[0], W("Aktive DFÜ-Verbindung: VPN: Büro (Gerät=tun0/vpn)"));
    EXPECT_EQ(Joined({r.output.begin() + 1, r.output.end()}), W("[VPN: Büro]\n[]\n[Mobil]"));
    EXPECT_EQ(Log(), "down v-1\n");
}

// Without debug output a run's start asks nmcli nothing: the connection of
// the start is looked up when disconnect first needs it.
TEST_F(DialUp, TheStartLooksUpTheConnectionOnlyWhenARunNeedsIt)
{
    Connections({Connection("Mobil", "m-1", "gsm", true)});
    fs::rename(dir + "bin/nmcli", dir + "bin/nmcli-stand-in");
    std::ofstream(dir + "bin/nmcli") << "#!/bin/sh\necho \"$*\" >> " + dir + "calls\nexec \"$0-stand-in\" \"$@\"\n";
    fs::permissions(dir + "bin/nmcli", fs::perms::owner_all);
    host.s.debugLevel = 0;

    RunResult quiet = Run("x = 1\nprint(x)\n");
    EXPECT_EQ(Joined(quiet.output), "1");
    EXPECT_FALSE(fs::exists(dir + "calls"));

    RunResult r = Run("print(\"[\", disconnect(), \"]\")\nprint(\"[\", disconnect(), \"]\")\n");
    EXPECT_EQ(Joined(r.output), W("[]\n[Es ist keine Wählverbindung aktiv]"));
    EXPECT_EQ(Log(), "down m-1\n");
}

TEST_F(DialUp, WithoutNmcliThereIsNoPhoneBook)
{
    env.emplace_back("PATH", dir + "tmp");  // a folder without nmcli
    host.s.debugLevel = 0;
    std::string lan = platform::HasLanRoute() ? "LAN" : "";

    RunResult r = Run(
        "print(\"[\", dial(\"Mobil\", \"geheim\"), \"]\")\n"
        "print(\"[\", connected(), \"]\")\n"
        "print(\"[\", disconnect(), \"]\")\n");

    EXPECT_EQ(r.errMsg, "");
    EXPECT_TRUE(r.notes.empty());
    EXPECT_EQ(Joined(r.output),
              Joined({W("[711: Der Wählverbindungsdienst ist nicht verfügbar (nmcli fehlt oder NetworkManager "
                        "läuft nicht).]"),
                      "[" + lan + "]", W("[Es ist keine Wählverbindung aktiv]")}));
}

// The default route, read from tables in the layout of /proc/net/route.
TEST(RouteTable, DefaultRouteIsDestinationAndMaskZero)
{
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    struct Case {
        const char* what;
        std::string table;
        bool defaultRoute;
    } cases[] = {
        {"router", header + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                            "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
         true},
        {"default route after others", header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
                                                "ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n",
         true},
        {"local network only", header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", false},
        // A zero destination with a mask is a route to 0.0.0.0/8, no default.
        {"zero destination with a mask", header + "eth0\t00000000\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n",
         false},
        {"columns found by name", "Iface\tMask\tDestination\nlo\t00000000\t00000000\n", true},
        {"header only", header, false},
        {"empty", "", false},
    };
    std::string path = (fs::temp_directory_path() / "skimlark-route-test").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path) << c.table;
        platform::RouteLookup r = platform::LookUpDefaultRoute(path);
        EXPECT_EQ(r.defaultRoute, c.defaultRoute);
        EXPECT_EQ(r.error, 0);
    }
    fs::remove(path);
    EXPECT_NE(platform::LookUpDefaultRoute(path).error, 0);
}

}  // namespace
