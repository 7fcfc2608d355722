#include "platform/console.h"
#include "platform/process_env.h"
#include "run/run_driver.h"

#include <exception>
#include <string>

int main(int argc, char** argv) {
    wirelux::platform::record_main_arguments(argc, argv);
    try {
        return wirelux::run_wirelux();
    } catch (const std::exception& e) {
        // Only an internal fault gets here (a lost parallel result, memory exhaustion).
        wirelux::platform::write_stderr(std::string("\nwirelux: internal error: ") + e.what() + "\n");
        return 70;
    } catch (...) {
        wirelux::platform::write_stderr("\nwirelux: internal error\n");
        return 70;
    }
}
