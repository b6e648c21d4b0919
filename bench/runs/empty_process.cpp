// The floor for whole-process timings: a C++ program that starts and exits.
int main() {
    return 0;
}
