// The measurements `make bench` runs, each printing its part of the table.
#pragma once

#include <string>

struct BenchOptions {
    std::string program;   // morvane.exe, as a Windows path
    std::string floor;     // the empty dialog
    std::string floorCc;   // the empty dialog with Common Controls 6
    std::string floorSame; // the plain Win32 program doing the program's start-up work
    std::string ctl;       // morvanectl.exe
    std::string ctlFloor;  // a console program making list's reads bare
    std::string ctlEmpty;  // an empty console program
    std::string driverLabel = "null display driver";
    std::string section = "1a"; // the start-up section's number in the table
    int startRuns = 48;         // rounds of start-ups
    int ctlRuns = 60;           // rounds of morvanectl list and its floors
    int allUsersRuns = 15;      // rounds of --all-users check over 1, 10 and 50 profiles
    int batchRounds = 8;        // rounds per batch, each batch after a quiet check
    double quietShare = 0.10;
    int quietWaitS = 60;
    bool countOnly = false; // one start each, for a wineserver debug log
    int phaseRuns = 15;
    int registryReps = 300;
    int clickReps = 200;
    int shellReps = 7;
    int noticeSeconds = 10;
};

void StartupBench(const BenchOptions& options);
void PhasesBench(const BenchOptions& options);
void RegistryBench(const BenchOptions& options);
void ClickBench(const BenchOptions& options);
void NoticeBench(const BenchOptions& options);
void CtlBench(const BenchOptions& options);
void AllUsersBench(const BenchOptions& options);
