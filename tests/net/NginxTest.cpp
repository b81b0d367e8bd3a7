// SPDX-License-Identifier: GPL-3.0-or-later
// The client and the result walk against a real nginx on 127.0.0.1, started by the test with
// a configuration of its own in a temporary folder.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "net/HttpClient.h"
#include "net/ResultSubmission.h"
#include "platform/Cp1251.h"
#include "tests/common/TempDir.h"
#include "tests/net/ScriptedServer.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kNginx = "/usr/sbin/nginx";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// One nginx in the foreground (no daemon, no master process) with its prefix, pid file and
// logs in a temporary folder. Stopped and cleaned up by the destructor, whatever happened;
// the kernel stops it too should the test process die first.
class NginxServer {
public:
    NginxServer() {
        if (scratch_.Path.empty()) {
            return;
        }
        dir_ = scratch_.Path;
        port_ = UnusedLoopbackPort();
        const std::string d = dir_.string();
        std::ofstream(dir_ / "nginx.conf")
            << "daemon off;\nmaster_process off;\npid " << d << "/nginx.pid;\n"
            << "error_log " << d << "/error.log;\nevents { worker_connections 64; }\n"
            << "http {\n  access_log " << d << "/access.log;\n"
            << "  client_body_temp_path " << d << "/client_body;\n"
            << "  proxy_temp_path " << d << "/proxy;\n"
            << "  fastcgi_temp_path " << d << "/fastcgi;\n"
            << "  uwsgi_temp_path " << d << "/uwsgi;\n"
            << "  scgi_temp_path " << d << "/scgi;\n"
            << "  server {\n    listen 127.0.0.1:" << port_ << ";\n"
            << "    location = /tezra/result { return 200 \"stored\\n\"; }\n"
            << "    location / { return 404; }\n  }\n}\n";
        Start();
    }

    ~NginxServer() { Stop(); }

    bool Running() const { return pid_ > 0; }
    int Port() const { return port_; }
    std::string ErrorLog() const { return ReadFile(dir_ / "error.log"); }
    std::string AccessLog() const { return ReadFile(dir_ / "access.log"); }

    void Stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGQUIT);  // finish the open requests, write the logs, quit
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    void Start() {
        const std::string prefix = dir_.string() + "/";
        const std::string config = (dir_ / "nginx.conf").string();
        const std::string errors = (dir_ / "error.log").string();
        const char* argv[] = {kNginx,         "-p", prefix.c_str(), "-c",
                              config.c_str(), "-e", errors.c_str(), nullptr};
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            ::execv(kNginx, const_cast<char* const*>(argv));
            ::_exit(127);
        }
        // Ready once it accepts connections; give up when it has exited.
        for (int i = 0; pid_ > 0 && i < 250; ++i) {
            if (Accepts(port_)) {
                return;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
    }

    TempDir scratch_;  // removed with the logs after the server has stopped
    fs::path dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// The walk without a window: nothing is shown, the pause is skipped.
class QuietView : public SubmissionView {
public:
    void ClearActivity() override {}
    void ShowActivity(const std::string&) override {}
    void AppendActivityLine(const std::string&) override {}
    void FinishActivityLine(const std::string&) override {}
    void HideActivity() override {}
    void Sleep(int) override {}
    void ShowMessage(const std::string&) override { ++messages; }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override {
        return "OK";
    }
    int messages = 0;
};

TEST(Nginx, AcceptsAResultWithACyrillicSurname) {
    if (!fs::exists(kNginx)) {
        GTEST_SKIP() << kNginx << " is not installed";
    }
    NginxServer nginx;
    ASSERT_TRUE(nginx.Running()) << nginx.ErrorLog();

    HttpClient client;
    QuietView view;
    ResultSubmission submission([&client](const std::string& url) { return client.Get(url).Ok(); },
                                view);
    std::vector<std::string> servers = {"127.0.0.1:" + std::to_string(nginx.Port())};
    std::string serverAddress = servers.front();
    EXPECT_TRUE(submission.Submit(servers, serverAddress, Utf8ToCp1251("10Б"),
                                  Utf8ToCp1251("Иванов"), 4.5f, 5));
    EXPECT_EQ(view.messages, 0);
    EXPECT_TRUE(client.Connected());  // nginx keeps the connection alive

    // An unknown path is an error status, read to the end of its body.
    const HttpResult missing =
        client.Get("http://127.0.0.1:" + std::to_string(nginx.Port()) + "/tezra/other");
    EXPECT_EQ(missing.error, HttpError::ErrorStatus);
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.body.find("404"), std::string::npos);

    nginx.Stop();
    const std::string log = nginx.AccessLog();
    // nginx writes bytes above 0x7F as \xHH.
    EXPECT_NE(log.find("\"GET /tezra/result?group=10\\xC1&user=\\xC8\\xE2\\xE0\\xED\\xEE\\xE2"
                       "&res=45000&mark=5 HTTP/1.1\" 200 "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"GET /tezra/other HTTP/1.1\" 404 "), std::string::npos) << log;
}

}  // namespace
