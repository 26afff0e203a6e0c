// spylerom: the window program that wipes the free space of a drive.
#include "mainwindow/ui/program.h"

int main(int argc, char** argv) {
    return spylerom::mainwindow::runProgram(argc, argv);
}
