// Printed reports of a fitted regression object and the t tests they show.
#include "core/regression/regression.h"
#include "core/regression/regression_internal.h"

#include <cstdio>

void summary(reg_object *obj) {
  std::putchar('\n');
  std::printf("%-25s \n", "Regression Summary");
  std::printf("%-25s%-20s%-20s \n", "Coefficients", "Value", "Standard Error");
  for (int i = 0; i < obj->p; ++i) std::printf("B%-25d%-20lf%-20g \n", i, obj->beta[i].value, obj->beta[i].stdErr);
  std::putchar('\n');
  std::printf("Residual Variance = %lf \n", obj->sigma);
  std::printf("R-Squared = %lf , Adjusted R-Squared = %lf \n", obj->R2, obj->R2adj);
}

void anova(reg_object *obj) {
  std::putchar('\n');
  std::puts("ANOVA : ");
  std::printf("%-25s%-20s%-20s%-20s \n", "Source of Variation", "df", "SS", "MSS");
  std::printf("%-25s%-20d%-20lf%-20lf \n", "Due to Regression", obj->df_ESS, obj->ESS, obj->ESS / obj->df_ESS);
  std::printf("%-25s%-20d%-20lf%-20lf \n", "Due to Residual", obj->df_RSS, obj->RSS, obj->RSS / obj->df_RSS);
  std::printf("%-25s%-20d%-20lf \n", "Total", obj->df_ESS + obj->df_RSS, obj->TSS);
  std::printf("\n F Statistics = %g \n", obj->FStat);
  std::printf("\n P Value (F)  = %g \n", obj->PVal);
}

void confint(reg_object *obj) {
  std::putchar('\n');
  std::printf("%-10lf%% Confidence Interval For Parameters And Residual Variance : \n", (1.0 - obj->alpha) * 100.0);
  std::printf("%-25s%-20s%-20s%-20s \n", "Parameters", "Value", "Lower Limit", "Upper Limit");
  for (int i = 0; i < obj->p; ++i)
    std::printf("B%-25d%-20lf%-20lf%-20lf \n", i, obj->beta[i].value, obj->beta[i].lower, obj->beta[i].upper);
  std::printf("%-25s%-20lf%-20lf%-20lf \n", "Residual Variance", obj->sigma, obj->sigma_lower, obj->sigma_upper);
}

void zerohyp_val(reg_object *obj, double *tval, double *pval) {
  std::putchar('\n');
  std::printf("%-25s \n", "Zero Hypothesis Test t values and Probabilities (One-tailed)");
  std::printf("%-25s%-20s%-20s \n", "Coefficients", "t Value", "Probability");
  const int df = obj->N - obj->p;
  if (df < 1) {
    std::printf("degrees of freedom cannot be non-positive");
    return;
  }
  for (int i = 0; i < obj->p; ++i) {
    pval[i] = tsf_regression::one_tailed_p(obj->beta[i].value, obj->beta[i].stdErr, df, &tval[i]);
    std::printf("B%-25d%-20lf%-20g \n", i, tval[i], pval[i]);
  }
}
