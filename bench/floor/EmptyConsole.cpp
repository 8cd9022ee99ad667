// The floor of any console program: it starts and exits.
int main() {
    return 0;
}
