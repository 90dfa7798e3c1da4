#include "BeatApp.h"

int main(int argc, char *argv[])
{
    CBeatApp app(argc, argv);
    return app.InitInstance();
}
