#include "ServerMain.h"

int main(int argc, char** argv)
{
    return runAppServer(argc, argv);
}
