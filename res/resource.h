// Resource identifiers shared by the resource script and the user interface.
#pragma once
