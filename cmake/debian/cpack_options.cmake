# Read by cpack before it makes the Debian packages (CPACK_PROJECT_CONFIG_FILE):
# the description of each package begins with a summary line of its own,
# so the project's one summary is not put before all three.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
