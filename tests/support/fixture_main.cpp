#include "support/fixture.h"

namespace tfx {
void install_backend_listener();
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    tfx::install_backend_listener();
    return RUN_ALL_TESTS();
}
