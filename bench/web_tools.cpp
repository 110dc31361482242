// One header exchange, or the broken-link check of a page, as the tools run them, with the log
// printed at the end: for timing against curl.
// Usage: korvane_web_tools header SERVER PAGE | korvane_web_tools broken SERVER PAGE
#include "bench_shell.h"
#include "page_tools/exchange_wording.h"
#include "page_tools/links.h"
#include "records/record_files.h"
#include "shell/shell.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace korvane;

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "header") != 0 && std::strcmp(argv[1], "broken") != 0)) {
        std::fprintf(stderr, "usage: %s header|broken SERVER PAGE\n", argv[0]);
        return 2;
    }
    bench::BenchShell bench;
    Shell& shell = bench.shell;
    const std::string server = argv[2];
    const std::string page = argv[3];
    if (std::strcmp(argv[1], "header") == 0) {
        ExchangeRequest request;
        request.server = server;
        request.page = page;
        request.method = page.empty() ? "HEAD" : "GET";
        request.replyFile = "the1.html";
        ExchangeResult exchange = HttpExchange(shell, request);
        const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
        std::fwrite(header.text.data(), 1, header.text.size(), stdout);
    } else {
        RunLinks(shell, LinkMode::Broken, server, page, {});
        for (const LogLine& line : bench.log.Snapshot())
            std::printf("%s\n", line.text.c_str());
    }
    return 0;
}
