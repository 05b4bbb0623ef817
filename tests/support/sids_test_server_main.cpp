// sids-test-server: the SiDS test server as a program, for tests that run the station in another
// process. Writes its port to --port-file once it listens, one line per request to --log (its
// arrival in ms, connection, frame, answer, timestamp, then any problems, tab-separated), and
// stops on SIGTERM or SIGINT.
//   sids-test-server --port-file F [--log F] [--mode random|STATUS] [--seed N]
#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "support/sids_test_server.hpp"

namespace {

std::atomic<bool> stopRequested{false};

void RequestStop(int) {
    stopRequested = true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    std::map<std::string, std::string> options{{"--mode", "201"}, {"--seed", "1"}};
    for (int i = 1; i + 1 < argc; i += 2)
        options[argv[i]] = argv[i + 1];
    if (options["--port-file"].empty() || (argc - 1) % 2 != 0) {
        std::cerr << "usage: sids-test-server --port-file F [--log F] [--mode random|STATUS] "
                     "[--seed N]\n";
        return 2;
    }
    quorbel::testing::SidsTestServer server;
    if (options["--mode"] == "random")
        server.SetRandom(std::stoull(options["--seed"]));
    else
        server.SetDefault(quorbel::testing::SidsAction::Reply(std::stoi(options["--mode"]), "{}"));

    std::ofstream log;
    if (!options["--log"].empty())
        log.open(options["--log"], std::ios::app);
    const auto started = std::chrono::steady_clock::now();
    server.OnRequest([&](const quorbel::testing::SidsRequest& request) {
        if (!log.is_open())
            return;
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(request.arrival - started);
        const auto field = [&](const char* name) {
            const auto found = request.fields.find(name);
            return found == request.fields.end() ? std::string("-") : found->second;
        };
        log << ms.count() << '\t' << request.connection << '\t' << field("frame") << '\t'
            << request.action.Describe() << '\t' << field("timestamp");
        for (const std::string& problem : request.problems)
            log << '\t' << problem;
        log << std::endl;
    });

    // The port file appears whole: written beside, then renamed.
    const std::string portFile = options["--port-file"];
    std::ofstream(portFile + ".part") << server.Port() << '\n';
    std::rename((portFile + ".part").c_str(), portFile.c_str());

    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (stopRequested)
            QCoreApplication::quit();
    });
    poll.start(50);
    return application.exec();
}
