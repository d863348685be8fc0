def check(workdir, stdout, stderr, status, fixtures):
    # Options 2 and 3 both name a session that does not exist: said so, menu again.
    assert stderr.count("\ncan't open nosuchFormda.txt \n") == 2, stderr
    assert stdout.count("   3  merge formatted data from two sessions\n") == 3, stdout
