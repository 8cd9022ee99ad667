// The measurements `make bench` runs, each printing its part of the table.
#pragma once

#include <string>

struct BenchOptions {
    std::string program;   // morvane.exe, as a Windows path
    std::string floor;     // the floor program, as a Windows path
    std::string floorDlls; // the floor importing the program's DLLs
    int startRuns = 15;
    int registryReps = 300;
    int clickReps = 200;
    int shellReps = 7;
    int noticeSeconds = 10;
};

void StartupBench(const BenchOptions& options);

void RegistryBench(const BenchOptions& options);
void ClickBench(const BenchOptions& options);
void NoticeBench(const BenchOptions& options);
