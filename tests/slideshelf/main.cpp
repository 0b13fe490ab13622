// The tests run inside the editor's own application object, so failures
// reach its handler as in the program.
#include <gtest/gtest.h>

#include "slideshelf/ui/Application.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    slideshelf::TSlideshelfApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
