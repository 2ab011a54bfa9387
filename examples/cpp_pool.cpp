// Creates a pool, allocates from it, stores its block and adopts it again:
// the C++ layer in a few lines.
#include <revevidozi.hpp>

#include <iostream>

int main() try {
    using revevidozi::Wwn;
    const Wwn local = Wwn::from_string("10:00:12:34:56:78:9a:bc");

    revevidozi::Pool pool = revevidozi::Pool::create(local, 4);
    for (const Wwn &address : pool.allocate(3)) {
        std::cout << "allocated " << address.str() << '\n';
    }

    const revevidozi::Pool::Block stored = pool.block(); // keep these 152 bytes anywhere
    revevidozi::Pool again = revevidozi::Pool::adopt(stored);

    std::error_code ec;
    again.take(Wwn(0x5123456789abc000ULL), ec); // allocated above
    std::cout << "taking 51:23:45:67:89:ab:c0:00 again: " << ec.message() << '\n';
    std::cout << again.usage().used << " used, " << again.usage().free << " free\n";
    return ec == revevidozi::errc::address_in_use ? 0 : 1;
} catch (const std::exception &e) {
    std::cerr << "cpp_pool: " << e.what() << '\n';
    return 1;
}
