// Vantor: the start-up sequence lands here once the game object builds.
int main(int, char**) { return 0; }
