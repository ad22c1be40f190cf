#include "app/startup.h"

int main(int argc, char** argv) {
    return vek::app::RunPlayer(argc, argv);
}
