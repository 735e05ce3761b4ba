#pragma once
// A folder the layer table does not know, for the test of the layer check.
