// A stand-in for the Velmar viewer executable: the example workstation needs
// a file with a version resource behind the viewer's class registrations.
int main()
{
    return 0;
}
