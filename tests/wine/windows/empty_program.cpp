// The floor of a Windows program's start under Wine: a GUI program, as the bridge is, that
// does nothing.
int main() {
    return 0;
}
