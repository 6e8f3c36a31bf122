// Linked with every object of the platform library and nothing of the application:
// building this program is the check that the platform does not call into the
// application. Running it does nothing.
int main()
{
    return 0;
}
