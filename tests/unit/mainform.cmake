linkvigil_add_test(test_chartcanvas unit/TestChartCanvas.cpp)
linkvigil_add_test(test_monitorcore unit/TestMonitorCore.cpp)
linkvigil_add_test(test_probecycle unit/TestProbeCycle.cpp)
linkvigil_add_test(test_alerts unit/TestAlerts.cpp)
