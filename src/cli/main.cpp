#include <cstdio>
int main() { std::puts("gloam: under construction"); return 0; }
