// The program's entry. (main.cpp is the unit named main: the main window and the analysis.)
#include "startup.h"

int main(int argc, char **argv)
{
    return runAnalyser(argc, argv);
}
